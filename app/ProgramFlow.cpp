#include "ProgramFlow.h"

#include "about/frmAbout.h"
#include "admin/frmAdmin.h"
#include "core/rules/SessionCountdown.h"
#include "core/services/ProgramEnd.h"
#include "core/services/Services.h"
#include "core/services/SessionHandover.h"
#include "logon/frmLogon.h"
#include "session/frmActive.h"

#include <stdexcept>

namespace {

// Drops a window without its close handling; it goes once control is back in the event loop.
template<typename W> void drop(QPointer<W> &window)
{
    if (window)
        window->deleteLater();
    window.clear();
}

} // namespace

ProgramFlow::ProgramFlow(const Services &services, QObject *parent)
    : QObject(parent), m_services(services)
{
    if (!m_services.complete())
        throw std::invalid_argument("ProgramFlow needs the account table, message boxes, the "
                                    "program's end, a program starter and today's date");
}

ProgramFlow::~ProgramFlow()
{
    delete m_about.data();
    delete m_admin.data();
    delete m_session.data();
    delete m_logon.data();
}

template<typename Window, typename Connect>
Window &ProgramFlow::open(QPointer<Window> &window, Connect connectOutcomes)
{
    if (!window) {
        window = new Window(m_services);
        connectOutcomes(window.data());
        window->Form_Load();
    }
    return *window;
}

frmLogon &ProgramFlow::logon()
{
    return open(m_logon, [this](frmLogon *w) {
        connect(w, &frmLogon::loggedOn, this, &ProgramFlow::loggedOn);
        connect(w, &frmLogon::aboutWanted, this, [this] { about().Show(); });
        connect(w, &frmLogon::unloaded, this, [this] {
            // The program ends with the logon window; an open About window goes with it.
            m_logon.clear();
            endProgram();
        });
    });
}

frmActive &ProgramFlow::session()
{
    return open(m_session, [this](frmActive *w) {
        connect(w, &frmActive::ended, this, &ProgramFlow::endProgram);
    });
}

frmAdmin &ProgramFlow::admin()
{
    return open(m_admin, [this](frmAdmin *w) {
        connect(w, &frmAdmin::loggedOff, this, &ProgramFlow::adminLoggedOff);
        connect(w, &frmAdmin::exitWanted, this, &ProgramFlow::adminExit);
    });
}

frmAbout &ProgramFlow::about()
{
    return open(m_about, [this](frmAbout *w) {
        connect(w, &frmAbout::unloaded, this, &ProgramFlow::aboutClosed);
    });
}

void ProgramFlow::loggedOn(bool administrator)
{
    if (administrator) {
        admin().Show();
        return;
    }
    frmActive &window = session();
    window.Show();
    // Only a session that started (its window shows) is handed over.
    if (m_services.handover && m_session && window.isVisible())
        m_services.handover->sessionStarted(window.countdown().minutes());
}

void ProgramFlow::adminLoggedOff()
{
    // The next administrator logon creates a new window.
    drop(m_admin);
    if (m_logon)
        m_logon->bringBack();
}

void ProgramFlow::adminExit()
{
    // Neither window's close handling runs: nothing is saved and no shut-down is asked for.
    drop(m_logon);
    drop(m_admin);
    endProgram();
}

void ProgramFlow::aboutClosed()
{
    m_about.clear();
    // Once the logon window is gone, the About window is what kept the program running.
    if (!m_logon && !m_session && !m_admin)
        endProgram();
}

void ProgramFlow::endProgram()
{
    m_services.programEnd->endNow();
}
