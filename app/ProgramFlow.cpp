#include "ProgramFlow.h"

#include "about/frmAbout.h"
#include "admin/frmAdmin.h"
#include "core/rules/Session.h"
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

frmActive &ProgramFlow::session(const SessionGrant &grant)
{
    if (!m_session) {
        m_session = new frmActive(m_services, grant);
        connect(m_session.data(), &frmActive::ended, this, &ProgramFlow::endProgram);
        m_session->Form_Load();
    }
    return *m_session;
}

frmActive &ProgramFlow::session()
{
    if (!m_session)
        throw std::logic_error("no session window is open");
    return *m_session;
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

void ProgramFlow::loggedOn(const SessionGrant &grant)
{
    if (grant.administrator) {
        admin().Show();
        return;
    }
    session(grant).Show();
    // The launcher counts the same minutes from here on.
    if (m_services.handover)
        m_services.handover->sessionStarted(grant.minutes);
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
