#include "frmAbout.h"

#include "core/services/MessageBoxes.h"
#include "core/services/ProgramStarter.h"
#include "core/services/Services.h"
#include "core/services/SystemInformation.h"
#include "core/widgets/AppIcon.h"
#include "core/widgets/ProgramWindow.h"
#include "core/widgets/Twips.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <exception>

namespace {

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

} // namespace

frmAbout::frmAbout(const Services &services) : m_services(services)
{
    // A fixed dialog: a caption with a close box, no minimise or maximise box, not resizable.
    // A window of its own rather than a dialog of the program, so that no other window owns it
    // and the logon window can still come in front of it. The caption is set at load.
    ProgramWindow::setUp(this, QStringLiteral("frmAbout"), QString(),
                         Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                             Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowCloseButtonHint);
    setModal(false);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(AppIcon::icon().pixmap(48, 48));
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
    deleteLater();
    emit unloaded();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::unavailable()
{
    m_services.messages->show(Unavailable);
}

void frmAbout::StartSysInfo()
{
    try {
        const std::optional<QString> program = SystemInformation(m_services.registry).program();
        if (!program || !m_services.starter->start(*program))
            unavailable();
    } catch (const std::exception &) {
        unavailable();
    }
}

bool frmAbout::GetKeyValue(Registry::Root root, const QString &keyName, const QString &valueName,
                           QString &text)
{
    return SystemInformation(m_services.registry).GetKeyValue(root, keyName, valueName, text);
}
