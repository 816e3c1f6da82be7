#include "frmAbout.h"

#include "core/AppError.h"
#include "core/MessageBoxes.h"
#include "core/ProgramEnd.h"
#include "core/ProgramStarter.h"
#include "core/Services.h"
#include "core/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtEndian>

#include <exception>

namespace {

QPointer<frmAbout> s_instance;

// Where System Information lies: the program's own path, or else the folder it is in.
const QString ProgramKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString ProgramValue = QStringLiteral("PATH");
const QString FolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString FolderValue = QStringLiteral("MSINFO");
const QString ProgramFileName = QStringLiteral("hardinfo");

constexpr qsizetype ValueBufferSize = 1024;
constexpr int InvalidProcedureCall = 5;

// Closes an open registry key however the look-up ends.
class KeyCloser
{
public:
    KeyCloser(Registry *registry, Registry::Key key) : m_registry(registry), m_key(key) {}
    ~KeyCloser() { m_registry->closeKey(m_key); }
    KeyCloser(const KeyCloser &) = delete;
    KeyCloser &operator=(const KeyCloser &) = delete;

private:
    Registry *m_registry;
    Registry::Key m_key;
};

QLabel *addLabel(QWidget *parent, const char *name, int left, int top, int width, int height)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Twips::place(label, left, top, width, height);
    return label;
}

void setBlackText(QLabel *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
}

// One line of the etched separator, one pixel high, from left to right (in twips) at top.
QFrame *addLine(QWidget *parent, const char *name, int left, int right, int top, QColor colour)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setGeometry(Twips::px(left), Twips::px(top), Twips::px(right) - Twips::px(left) + 1, 1);
    return line;
}

// Makes a button's caption fit the button's fixed width: a smaller font rather than a clipped
// caption, where the desktop's font is wider than the one the layout was drawn with.
void fitCaption(QPushButton *button)
{
    QFont font = button->font();
    if (font.pointSizeF() <= 0)
        return;
    while (button->sizeHint().width() > button->width() && font.pointSizeF() > 6) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        button->setFont(font);
    }
}

// Whether a window of the program other than the About window is still open: shown, or one of
// the program's own windows hidden for the moment (a session window in the tray).
bool anotherWindowOpen(const QWidget *about)
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window == about || window->windowType() == Qt::ToolTip ||
            window->windowType() == Qt::Popup)
            continue;
        const QString name = window->objectName();
        const bool programWindow = name.startsWith(QLatin1String("frm")) &&
                                   name != QLatin1String("frmLogon") &&
                                   name != QLatin1String("frmAbout");
        if (window->isVisible() || programWindow)
            return true;
    }
    return false;
}

} // namespace

frmAbout &frmAbout::instance()
{
    if (!s_instance) {
        s_instance = new frmAbout();
        s_instance->Form_Load();
    }
    return *s_instance;
}

bool frmAbout::exists()
{
    return !s_instance.isNull();
}

void frmAbout::release()
{
    if (s_instance)
        s_instance->deleteLater();
    s_instance = nullptr;
}

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    // A fixed dialog: a caption with a close box, no minimise or maximise box, not resizable.
    // A window of its own rather than a dialog of the program, so that no other window owns it
    // and the logon window can still come in front of it.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(Services::appIcon());
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(false);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(Services::appIcon().pixmap(48, 48));
    picIcon->setScaledContents(true);
    picIcon->setAccessibleName(ApplicationTitle);
    Twips::place(picIcon, 240, 240, 540, 540);

    lblTitle = addLabel(this, "lblTitle", 1050, 240, 3885, 480);
    QFont titleFont = lblTitle->font();
    if (titleFont.pointSizeF() > 0)
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    else
        titleFont.setPixelSize(titleFont.pixelSize() * 8 / 5);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = addLabel(this, "lblVersion", 1050, 780, 3885, 225);
    lblDescription = addLabel(this, "lblDescription", 1050, 1125, 3885, 1170);
    lblDisclaimer = addLabel(this, "lblDisclaimer", 255, 2625, 3870, 825);
    for (QLabel *label : {lblTitle, lblDescription, lblDisclaimer})
        setBlackText(label);

    Line1[1] = addLine(this, "Line1_1", 90, 5654, 2445, QColor(0x80, 0x80, 0x80));
    Line1[0] = addLine(this, "Line1_0", 105, 5654, 2460, Qt::white);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    Twips::place(cmdOK, 4245, 2625, 1260, 345);

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    Twips::place(cmdSysInfo, 4260, 3075, 1245, 345);

    for (QPushButton *button : {cmdOK, cmdSysInfo})
        fitCaption(button);

    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    setFixedSize(Twips::size(5730, 3555));
}

void frmAbout::Show()
{
    show();
    raise();
    activateWindow();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + ApplicationTitle);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(TIMORA_VERSION_MAJOR)
                            .arg(TIMORA_VERSION_MINOR)
                            .arg(TIMORA_VERSION_PATCH));
    lblTitle->setText(ApplicationTitle);
    lblDescription->setText(
        QStringLiteral("Setup up to 10 users to use your computer and control how many minutes "
                       "per day they can be logged on. Written by the TimoraDesk developers. "
                       "Please tell us by e-mail what you think of it."));
    lblDisclaimer->setText(QStringLiteral("TimoraDesk is free to use, at your own risk. No "
                                          "liability is accepted for any loss or damage "
                                          "arising from its use."));
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::reject()
{
    cmdOK->click();
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

void frmAbout::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (s_instance == this)
        s_instance = nullptr;
    deleteLater();
    // Once the logon window is gone, the About window is what kept the program running.
    if (!services().logon && !anotherWindowOpen(this)) {
        services().programEnd->endNow();
        return;
    }
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::unavailable()
{
    services().messages->show(Unavailable);
}

void frmAbout::StartSysInfo()
{
    try {
        QString path;
        if (!GetKeyValue(Registry::HKEY_LOCAL_MACHINE, ProgramKey, ProgramValue, path)) {
            if (!GetKeyValue(Registry::HKEY_LOCAL_MACHINE, FolderKey, FolderValue, path)) {
                unavailable();
                return;
            }
            // The value names the folder; the program in it must be an ordinary file.
            const QString program = path + QLatin1Char('/') + ProgramFileName;
            if (!QFileInfo(program).isFile()) {
                unavailable();
                return;
            }
            path = program;
        }
        if (!services().starter->start(path))
            unavailable();
    } catch (const std::exception &) {
        unavailable();
    }
}

bool frmAbout::GetKeyValue(Registry::Root root, const QString &keyName, const QString &valueName,
                           QString &text)
{
    Registry *registry = services().registry;
    Registry::Key key = 0;
    // Read access is all the look-up needs, and all an ordinary user gets on machine-wide keys.
    if (!registry || registry->openKey(root, keyName, &key) != Registry::Success) {
        text.clear();
        return false;
    }
    const KeyCloser closer(registry, key);

    // Values of up to 1024 bytes are read; a longer one fails the look-up.
    QByteArray buffer;
    quint32 type = 0;
    if (registry->queryValue(key, valueName, &type, &buffer, ValueBufferSize) !=
        Registry::Success) {
        text.clear();
        return false;
    }
    const qsizetype size = buffer.size();
    if (size == 0)
        throw AppError(InvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
    // A string stored with its terminating NUL is read without it.
    const QByteArray kept = buffer.at(size - 1) == '\0' ? buffer.left(size - 1) : buffer;

    switch (type) {
    case Registry::REG_SZ:
        text = QString::fromUtf8(kept);
        break;
    case Registry::REG_DWORD: {
        QByteArray number = buffer.left(4);
        number.append(4 - number.size(), '\0');
        text = QString::number(qFromLittleEndian<quint32>(number.constData()));
        break;
    }
    default:
        break;
    }
    return true;
}
