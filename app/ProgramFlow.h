#pragma once

#include <QObject>
#include <QPointer>

class frmAbout;
class frmActive;
class frmAdmin;
class frmLogon;
struct Services;
struct SessionGrant;

// Owns the program's four windows and the way from one to the next: the logon window hands over
// to a session or the administrator's window, the administrator's logoff brings the logon window
// back, and this object alone decides when the program ends. Each window exists at most once; it
// is created, connected and loaded on first use.
class ProgramFlow : public QObject
{
    Q_OBJECT
public:
    // The services must outlive the flow; those that are always needed must be set.
    explicit ProgramFlow(const Services &services, QObject *parent = nullptr);
    ~ProgramFlow() override;

    frmLogon &logon();
    // The window of the session this grant opens (loaded, not shown yet); the one open when
    // there already is one.
    frmActive &session(const SessionGrant &grant);
    // The session window that is open; throws std::logic_error when there is none.
    frmActive &session();
    frmAdmin &admin();
    frmAbout &about();

    bool hasLogon() const { return !m_logon.isNull(); }
    bool hasSession() const { return !m_session.isNull(); }
    bool hasAdmin() const { return !m_admin.isNull(); }
    bool hasAbout() const { return !m_about.isNull(); }

private:
    // The window, created, connected and loaded if there is none.
    template<typename Window, typename Connect>
    Window &open(QPointer<Window> &window, Connect connectOutcomes);

    void loggedOn(const SessionGrant &grant);
    void adminLoggedOff();
    void adminExit();
    void aboutClosed();
    void endProgram();

    const Services &m_services;
    QPointer<frmLogon> m_logon;
    QPointer<frmActive> m_session;
    QPointer<frmAdmin> m_admin;
    QPointer<frmAbout> m_about;
};
