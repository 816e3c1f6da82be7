#include "ProgramFlow.h"

#include "about/frmAbout.h"
#include "admin/frmAdmin.h"
#include "core/ProgramEnd.h"
#include "core/Services.h"
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
        throw std::invalid_argument("ProgramFlow needs message boxes, the program's end, a "
                                    "program starter and today's date");
}

ProgramFlow::~ProgramFlow()
{
    delete m_about.data();
    delete m_admin.data();
    delete m_session.data();
    delete m_logon.data();
}

frmLogon &ProgramFlow::logon()
{
    if (!m_logon) {
        m_logon = new frmLogon(m_services);
        connect(m_logon, &frmLogon::loggedOn, this, &ProgramFlow::loggedOn);
        connect(m_logon, &frmLogon::aboutWanted, this, [this] { about().Show(); });
        connect(m_logon, &frmLogon::unloaded, this, [this] {
            // The program ends with the logon window; an open About window goes with it.
            m_logon.clear();
            endProgram();
        });
        m_logon->Form_Load();
    }
    return *m_logon;
}

frmActive &ProgramFlow::session()
{
    if (!m_session) {
        m_session = new frmActive(m_services);
        connect(m_session, &frmActive::ended, this, &ProgramFlow::endProgram);
        m_session->Form_Load();
    }
    return *m_session;
}

frmAdmin &ProgramFlow::admin()
{
    if (!m_admin) {
        m_admin = new frmAdmin(m_services);
        connect(m_admin, &frmAdmin::loggedOff, this, &ProgramFlow::adminLoggedOff);
        connect(m_admin, &frmAdmin::exitWanted, this, &ProgramFlow::adminExit);
        m_admin->Form_Load();
    }
    return *m_admin;
}

frmAbout &ProgramFlow::about()
{
    if (!m_about) {
        m_about = new frmAbout(m_services);
        connect(m_about, &frmAbout::unloaded, this, &ProgramFlow::aboutClosed);
        m_about->Form_Load();
    }
    return *m_about;
}

void ProgramFlow::loggedOn(bool administrator)
{
    if (administrator)
        admin().Show();
    else
        session().Show();
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
