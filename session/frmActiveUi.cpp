#include "frmActiveUi.h"

#include "core/widgets/ProgramWindow.h"
#include "core/widgets/ProgressBar.h"
#include "core/widgets/Twips.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <initializer_list>
#include <iterator>

namespace {

template<typename W>
W *placed(W *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QLatin1String(name));
    Twips::place(widget, left, top, width, height);
    return widget;
}

// Widens a caption that the desktop's font makes longer than its place, about its middle and
// inside its window, so that the whole caption shows.
void fitAboutMiddle(QWidget *widget)
{
    const int wanted = widget->sizeHint().width();
    QRect r = widget->geometry();
    if (wanted <= r.width())
        return;
    r.setLeft(r.center().x() - wanted / 2);
    r.setWidth(wanted);
    const int room = widget->parentWidget()->width();
    if (r.right() >= room)
        r.moveRight(room - 1);
    if (r.left() < 0)
        r.moveLeft(0);
    widget->setGeometry(r);
}

} // namespace

void frmActiveUi::setupUi(QWidget *window)
{
    // Fixed single border with minimise and close, no maximise.
    ProgramWindow::setUp(window, QStringLiteral("frmActive"), QStringLiteral("User Signed On"),
                         ProgramWindow::MinimiseAndClose);
    window->setFixedSize(Twips::size(6945, 4560));

    frmPswChg = placed(new QGroupBox(QStringLiteral("Change Password"), window), "frmPswChg", 1920,
                       240, 2775, 1815);
    cmdSavePsw = placed(new QPushButton(QStringLiteral("Save"), frmPswChg), "cmdSavePsw", 240, 1200,
                        975, 375);
    cmdSavePsw->setToolTip(QStringLiteral("Press this button to save your new password"));
    txtNewpsw = placed(new QLineEdit(frmPswChg), "txtNewpsw", 480, 600, 1935, 375);
    txtNewpsw->setToolTip(
        QStringLiteral("Enter a new password here to change your passowrd (It will be shown)"));
    Label4 = placed(new QLabel(QStringLiteral("New Password"), frmPswChg), "Label4", 600, 360, 1575,
                    255);
    Label4->setBuddy(txtNewpsw);
    txtNewpsw->setAccessibleName(Label4->text());
    cmdCancel = placed(new QPushButton(QStringLiteral("Cancel"), frmPswChg), "cmdCancel", 1560,
                       1200, 975, 375);

    txtUser = placed(new QLineEdit(window), "txtUser", 840, 480, 2055, 285);
    txtUser->setToolTip(QStringLiteral("Enter your UserId"));
    txtUser->setEnabled(false);
    Label1[0] = placed(new QLabel(QStringLiteral("User"), window), "Label1", 360, 480, 375, 255);
    Label1[0]->setBuddy(txtUser);
    txtUser->setAccessibleName(Label1[0]->text());

    txtTime = placed(new QLineEdit(window), "txtTime", 3360, 480, 1935, 495);
    txtTime->setToolTip(QStringLiteral("This is how many minutes youe have remaining"));
    // Only the countdown writes the minutes; typing into the box would change nothing.
    txtTime->setReadOnly(true);
    QFont timeFont = txtTime->font();
    timeFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Sans Serif")});
    timeFont.setPointSize(12);
    timeFont.setBold(true);
    txtTime->setFont(timeFont);
    QPalette blue = txtTime->palette();
    blue.setColor(QPalette::Text, Qt::blue);
    txtTime->setPalette(blue);
    Label3 = placed(new QLabel(QStringLiteral("Time Remaining"), window), "Label3", 3480, 240, 1215,
                    255);
    Label3->setBuddy(txtTime);
    txtTime->setAccessibleName(Label3->text());

    cmdNewPsw = placed(new QPushButton(QStringLiteral("Change Password"), window), "cmdNewPsw",
                       4155, 3750, 1215, 495);
    cmdNewPsw->setToolTip(QStringLiteral("Press here to change your logon password"));
    cmdLogOff = placed(new QPushButton(QStringLiteral("Log &Off"), window), "cmdLogOff", 435, 3750,
                       1215, 495);
    cmdLogOff->setToolTip(QStringLiteral("Press this when you are finished using the computer"));
    cmdMinimize = placed(new QPushButton(QStringLiteral("&Minimize"), window), "cmdMinimize", 2235,
                         3750, 1215, 495);

    pb1 = placed(new ProgressBar(window), "pb1", 465, 2565, 6060, 270);
    pb1->setTextVisible(false);
    pb1->setAccessibleName(QStringLiteral("Share of the day's minutes remaining"));

    optReStart = placed(new QRadioButton(QStringLiteral("Restart"), window), "optReStart", 3090,
                        2955, 1215, 495);
    optShutDown = placed(new QRadioButton(QStringLiteral("ShutDown"), window), "optShutDown", 1425,
                         2925, 1215, 495);
    auto *powerChoice = new QButtonGroup(window);
    powerChoice->addButton(optReStart);
    powerChoice->addButton(optShutDown);
    optReStart->setChecked(true);

    // Labels keep their right edge (left of their field, or under the frame's right edge);
    // the other captions grow about their middle.
    Twips::fitLeft(Label1[0]);
    Twips::fitLeft(Label3);
    for (QWidget *caption : std::initializer_list<QWidget *>{Label4, cmdSavePsw, cmdCancel,
                                                             cmdNewPsw, cmdLogOff, cmdMinimize})
        fitAboutMiddle(caption);

    // The frame lies over the user and time boxes when it is open, and hides what it covers.
    frmPswChg->setAutoFillBackground(true);
    frmPswChg->raise();
    frmPswChg->hide();

    // Tab order over the whole window; the labels, the frame and the bar take no focus.
    QWidget *const tabOrder[] = {cmdSavePsw, txtNewpsw, txtUser,     txtTime,    cmdNewPsw,
                                 cmdLogOff,  cmdCancel, cmdMinimize, optReStart, optShutDown};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}
