#pragma once

#include "core/services/Registry.h"

#include <QDialog>
#include <array>

class QFrame;
class QLabel;
class QPushButton;
struct Services;

// The About window: what the program is, which version runs, and a button that starts the
// system's System Information program.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(const Services &services);

    // The application title, shown in the caption and the title line.
    static inline const QString ApplicationTitle = QStringLiteral("TimoraDesk");
    static inline const QString Unavailable =
        QStringLiteral("System Information Is Unavailable At This Time");

    // Loads the window on first use and shows it, modeless.
    void Show();

    // Handlers, named after their controls and events.
    void Form_Load();
    void Form_Unload();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    // Esc presses OK.
    void reject() override;

    // Starts System Information from where the registry says it lies, or says that it cannot.
    void StartSysInfo();
    // Reads valueName of keyName under root into text: a string as it is, a DWORD as decimal
    // text, any other type leaves text alone. Returns false, with empty text, when the key or
    // the value cannot be read. A value of zero bytes throws AppError.
    bool GetKeyValue(Registry::Root root, const QString &keyName, const QString &valueName,
                     QString &text);

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblDisclaimer = nullptr;
    // The etched separator: [1] the grey line, [0] the white one below it.
    std::array<QFrame *, 2> Line1{};
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

signals:
    // The window has closed.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void unavailable();

    const Services &m_services;
    bool m_unloaded = false;
};
