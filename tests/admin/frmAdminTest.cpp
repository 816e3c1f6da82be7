#include "admin/frmAdmin.h"
#include "core/rules/AccountStore.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/DateText.h"
#include "core/services/Services.h"
#include "core/widgets/Calendar.h"
#include "logon/frmLogon.h"
#include "tests/support/FakeServices.h"
#include "tests/support/MemoryAccountStore.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

const QString RecordsUpdated = QStringLiteral("Records Updated");

// The administrator window as a person reaches it: through the logon window.
class AdminWindow : public TimoraTest
{
protected:
    void SetUp() override
    {
        TimoraTest::SetUp();
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    }
    void TearDown() override
    {
        TimoraTest::TearDown();
        QLocale::setDefault(QLocale::system());
    }

    // The stored accounts most tests start from; the administrator is slot 1.
    void storeFamily()
    {
        storeAccount(1, QStringLiteral("ADMINISTRATOR"), QStringLiteral("BOSS"), -1,
                     DateText::fromDate(QDate(2026, 1, 1)), -1);
        storeAccount(2, QStringLiteral("KID"), QStringLiteral("PW"), 60, kidDate(), 12);
        storeAccount(3, QStringLiteral("TEEN"), QStringLiteral("SECRET"), 90,
                     DateText::fromDate(QDate(2026, 12, 6)), 0);
    }
    static QString kidDate() { return DateText::fromDate(QDate(2026, 12, 7)); }

    frmAdmin &logOnAsAdministrator(const QString &password = QStringLiteral("boss"))
    {
        frmLogon &logon = flow().logon();
        logon.show();
        logon.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&logon));
        logOnAs(QStringLiteral("administrator"), password);
        EXPECT_TRUE(flow().hasAdmin());
        frmAdmin &w = flow().admin();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        savesAtLogon = store.saves;
        return w;
    }

    // Replaces a field's text the way a person does: select all, then type (or delete).
    static void retype(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        else
            QTest::keyClicks(field, text);
    }

    static void typeRow(frmAdmin &w, int row, const QString &user, const QString &password,
                        const QString &mins, const QString &left, const QString &date)
    {
        retype(w.txtUser[row], user);
        retype(w.txtPassword[row], password);
        retype(w.txtMins[row], mins);
        retype(w.txtLeft[row], left);
        retype(w.txtDate[row], date);
    }

    static void save(frmAdmin &w) { QTest::mouseClick(w.cmdSave, Qt::LeftButton); }

    static QStringList rowTexts(const frmAdmin &w, int row)
    {
        return {w.txtUser[row]->text(), w.txtPassword[row]->text(), w.txtMins[row]->text(),
                w.txtLeft[row]->text(), w.txtDate[row]->text()};
    }

    QString stored(const char *prefix, int slot) const
    {
        return store.section().value(AccountTable::key(prefix, slot));
    }

    bool nothingSavedSinceLogon() const { return store.saves == savesAtLogon; }

    int savesAtLogon = 0;
};

TEST_F(AdminWindow, ShowsItsCaptionButtonsAndHiddenCalendar)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Administrator"));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w.size(), QSize(719, 305));
    EXPECT_EQ(w.frmAdminx->geometry(), QRect(0, 0, 719, 305));
    EXPECT_EQ(w.cmdReload->text(), QStringLiteral("&Reload"));
    EXPECT_EQ(w.cmdSave->text(), QStringLiteral("&Save"));
    EXPECT_EQ(w.cmdLogoff->text(), QStringLiteral("&Logoff"));
    EXPECT_EQ(w.cmdExit->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(w.cmdSave->toolTip(),
              QStringLiteral("Click her to save the changes you made to the logon file."));
    const QStringList headers = {w.Label6->text(), w.Label1->text(), w.Label2->text(),
                                 w.Label3->text(), w.Label5->text(), w.Label4->text()};
    EXPECT_EQ(headers, (QStringList{QStringLiteral("Del"), QStringLiteral("User Id"),
                                    QStringLiteral("Password"), QStringLiteral("Mins Per Day"),
                                    QStringLiteral("Remaining"), QStringLiteral("Last Logon")}));
    // Every header shows its whole caption: no word is wider than its label.
    for (const QLabel *header : {w.Label6, w.Label1, w.Label2, w.Label3, w.Label5, w.Label4}) {
        for (const QString &word : header->text().split(QLatin1Char(' ')))
            EXPECT_LE(header->fontMetrics().horizontalAdvance(word), header->width())
                << word.toStdString();
        EXPECT_LE(header->geometry().bottom(), w.txtUser[0]->y());
    }
    EXPECT_TRUE(w.InErrMsg->text().isEmpty());
    EXPECT_EQ(w.InErrMsg->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(w.InErrMsg->font().bold());
    EXPECT_FALSE(w.Calendar1->isVisible());
    EXPECT_EQ(w.Calendar1->geometry(), QRect(273, 67, 317, 222));
    EXPECT_EQ(w.Calendar1->palette().color(QPalette::Base), QColor(0xFF, 0xE0, 0xC0));
    EXPECT_EQ(w.dateRow, 0);
}

TEST_F(AdminWindow, GridFieldsStandOnTheirRowsWithNamesAPersonHears)
{
    frmAdmin &w = logOnAsAdministrator(QStringLiteral("quiverlantern"));
    const int tops[] = {795, 1080, 1365, 1650, 1935, 2220, 2490, 2790, 3075, 3390};
    for (int row = 0; row < frmAdmin::Rows; ++row) {
        const int top = qRound(tops[row] / 15.0);
        const QWidget *fields[] = {w.chkDel[row],  w.txtUser[row], w.txtPassword[row],
                                   w.txtMins[row], w.txtLeft[row], w.txtDate[row]};
        for (const QWidget *field : fields)
            EXPECT_EQ(field->y(), top) << field->objectName().toStdString();
        EXPECT_EQ(w.txtUser[row]->objectName(), QStringLiteral("txtUser_%1").arg(row));
        EXPECT_EQ(w.txtUser[row]->accessibleName(), QStringLiteral("User Id, row %1").arg(row + 1));
        EXPECT_EQ(w.txtMins[row]->accessibleName(),
                  QStringLiteral("Mins Per Day, row %1").arg(row + 1));
        EXPECT_EQ(w.chkDel[row]->accessibleName(), QStringLiteral("Del, row %1").arg(row + 1));
    }
    // Columns left to right in the order of their headers.
    EXPECT_LT(w.chkDel[0]->x(), w.txtUser[0]->x());
    EXPECT_LT(w.txtUser[0]->x(), w.txtPassword[0]->x());
    EXPECT_LT(w.txtPassword[0]->x(), w.txtMins[0]->x());
    EXPECT_LT(w.txtMins[0]->x(), w.txtLeft[0]->x());
    EXPECT_LT(w.txtLeft[0]->x(), w.txtDate[0]->x());
}

TEST_F(AdminWindow, TabGoesAlongEachRowThenDownThenToTheButtonsAndTheCalendar)
{
    frmAdmin &w = logOnAsAdministrator(QStringLiteral("quiverlantern"));
    const auto next = [](QWidget *widget) {
        return widget->nextInFocusChain();
    };
    EXPECT_EQ(next(w.chkDel[3]), w.txtUser[3]);
    EXPECT_EQ(next(w.txtUser[3]), w.txtPassword[3]);
    EXPECT_EQ(next(w.txtPassword[3]), w.txtMins[3]);
    EXPECT_EQ(next(w.txtMins[3]), w.txtLeft[3]);
    EXPECT_EQ(next(w.txtLeft[3]), w.txtDate[3]);
    EXPECT_EQ(next(w.txtDate[3]), w.chkDel[4]);
    EXPECT_EQ(next(w.txtDate[9]), w.cmdReload);
    EXPECT_EQ(next(w.cmdReload), w.cmdSave);
    EXPECT_EQ(next(w.cmdSave), w.cmdLogoff);
    EXPECT_EQ(next(w.cmdLogoff), w.cmdExit);
    // Tab from the first row's password, as a person would press it.
    w.txtPassword[0]->setFocus();
    QTest::keyClick(w.txtPassword[0], Qt::Key_Tab);
    EXPECT_TRUE(w.txtMins[0]->hasFocus());
    w.txtDate[0]->setFocus();
    QTest::keyClick(w.txtDate[0], Qt::Key_Tab);
    EXPECT_TRUE(w.chkDel[1]->hasFocus());
}

TEST_F(AdminWindow, AfterAFreshLogonTheGridShowsTheTableAndTheRestIsEmpty)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    EXPECT_EQ(rowTexts(w, 0),
              (QStringList{QStringLiteral("ADMINISTRATOR"), QStringLiteral("BOSS"),
                           QStringLiteral("-1"), QStringLiteral("-1"), todayText()}));
    EXPECT_EQ(rowTexts(w, 1), (QStringList{QStringLiteral("KID"), QStringLiteral("PW"),
                                           QStringLiteral("60"), QStringLiteral("12"), kidDate()}));
    EXPECT_EQ(rowTexts(w, 2)[0], QStringLiteral("TEEN"));
    for (int row = 3; row < frmAdmin::Rows; ++row)
        EXPECT_EQ(rowTexts(w, row), QStringList(5, QString())) << row;
    EXPECT_FALSE(w.chkDel[0]->isEnabled());
    EXPECT_FALSE(w.txtUser[0]->isEnabled());
    EXPECT_TRUE(w.txtPassword[0]->isEnabled());
    EXPECT_TRUE(w.chkDel[1]->isEnabled());
    EXPECT_TRUE(w.txtUser[1]->isEnabled());
}

TEST_F(AdminWindow, ASaveCreatesChangesAndDeletesAccounts)
{
    storeFamily();
    storeAccount(4, QStringLiteral("GRAN"), QStringLiteral("KNIT"), 30, QString(), 30);
    frmAdmin &w = logOnAsAdministrator();

    retype(w.txtMins[1], QStringLiteral("45"));
    // TEEN goes by the delete box, even with a field that would fail the check.
    retype(w.txtMins[2], QStringLiteral("lots"));
    QTest::mouseClick(w.chkDel[2], Qt::LeftButton);
    ASSERT_TRUE(w.chkDel[2]->isChecked());
    // GRAN goes by emptying the whole row.
    typeRow(w, 3, QString(), QString(), QString(), QString(), QString());
    // A new account in the first free row, its remaining minutes left empty.
    typeRow(w, 5, QStringLiteral("alice"), QStringLiteral("wonder"), QStringLiteral("30"),
            QString(), QString());
    save(w);

    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(accountTable.count(), 3);
    EXPECT_EQ(rowTexts(w, 1), (QStringList{QStringLiteral("KID"), QStringLiteral("PW"),
                                           QStringLiteral("45"), QStringLiteral("12"), kidDate()}));
    EXPECT_EQ(rowTexts(w, 2), (QStringList{QStringLiteral("ALICE"), QStringLiteral("WONDER"),
                                           QStringLiteral("30"), QStringLiteral("30"), QString()}));
    for (int row = 3; row < frmAdmin::Rows; ++row)
        EXPECT_EQ(rowTexts(w, row), QStringList(5, QString())) << row;
    for (int row = 0; row < frmAdmin::Rows; ++row)
        EXPECT_FALSE(w.chkDel[row]->isChecked()) << row;

    const auto section = store.section();
    EXPECT_EQ(section.size(), 15);
    EXPECT_EQ(stored("user", 1), QStringLiteral("ADMINISTRATOR"));
    EXPECT_EQ(stored("mins", 2), QStringLiteral("45"));
    EXPECT_EQ(stored("user", 3), QStringLiteral("ALICE"));
    EXPECT_EQ(stored("pswd", 3), QStringLiteral("WONDER"));
    EXPECT_EQ(stored("mins", 3), QStringLiteral("30"));
    EXPECT_EQ(stored("left", 3), QStringLiteral("30"));
    EXPECT_EQ(stored("date", 3), QString());
    EXPECT_TRUE(section.contains(QStringLiteral("date3")));
}

TEST_F(AdminWindow, IdsAndPasswordsComeBackUpperCasedAndDuplicatesAreKept)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtUser[1], QStringLiteral("administrator"));
    retype(w.txtPassword[1], QStringLiteral("MiXeD"));
    typeRow(w, 3, QStringLiteral("kid"), QStringLiteral("other"), QStringLiteral("5"),
            QStringLiteral("5"), QString());
    save(w);
    EXPECT_EQ(w.txtUser[1]->text(), QStringLiteral("ADMINISTRATOR"));
    EXPECT_EQ(w.txtPassword[1]->text(), QStringLiteral("MIXED"));
    EXPECT_EQ(stored("user", 2), QStringLiteral("ADMINISTRATOR"));
    EXPECT_EQ(stored("pswd", 2), QStringLiteral("MIXED"));
    EXPECT_EQ(stored("user", 4), QStringLiteral("KID"));
    EXPECT_EQ(stored("pswd", 4), QStringLiteral("OTHER"));
    EXPECT_EQ(accountTable.count(), 4);
}

// One row typed into an otherwise valid grid, and what the save says about it.
struct RowFault
{
    const char *story;
    const char *user;
    const char *password;
    const char *mins;
    const char *left;
    const char *message;
    std::array<QLineEdit *, frmAdmin::Rows> frmAdmin::*field;
};

void PrintTo(const RowFault &fault, std::ostream *os)
{
    *os << fault.story;
}

class RowCheck : public AdminWindow, public ::testing::WithParamInterface<RowFault>
{};

TEST_P(RowCheck, FailsWithItsMessageAndFocusAndStoresNothing)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    const auto tableBefore = accountTable.accounts();
    const auto storeBefore = store.section();
    const RowFault &fault = GetParam();
    typeRow(w, 4, QString::fromUtf8(fault.user), QString::fromUtf8(fault.password),
            QString::fromUtf8(fault.mins), QString::fromUtf8(fault.left), QString());
    // A later row that would fail as well is never reached.
    typeRow(w, 6, QString(), QStringLiteral("orphan"), QString(), QString(), QString());
    save(w);

    EXPECT_EQ(w.InErrMsg->text(), QString::fromUtf8(fault.message));
    EXPECT_TRUE((w.*fault.field)[4]->hasFocus());
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_FALSE(w.Calendar1->isVisible());
    EXPECT_EQ(accountTable.accounts(), tableBefore);
    EXPECT_EQ(store.section(), storeBefore);
    EXPECT_TRUE(nothingSavedSinceLogon());
}

INSTANTIATE_TEST_SUITE_P(
    , RowCheck,
    ::testing::Values(
        RowFault{"OnlyAPasswordTyped", "", "pw", "", "", "Enter User ID", &frmAdmin::txtUser},
        RowFault{"OnlyMinutesTyped", "", "", "30", "", "Enter User ID", &frmAdmin::txtUser},
        RowFault{"NoPassword", "bob", "", "30", "", "Enter Password", &frmAdmin::txtPassword},
        RowFault{"NoMinutes", "bob", "pw", "", "5", "Enter number of minutes per day for access",
                 &frmAdmin::txtMins},
        RowFault{"MinutesAreWords", "bob", "pw", "thirty", "", "Error  this is a numeric field",
                 &frmAdmin::txtMins},
        RowFault{"MinutesOnlyBlanks", "bob", "pw", "   ", "", "Error  this is a numeric field",
                 &frmAdmin::txtMins},
        RowFault{"MinutesBeyondRange", "bob", "pw", "2147483648", "",
                 "Error  this is a numeric field", &frmAdmin::txtMins},
        RowFault{"MinutesGermanDecimal", "bob", "pw", "2,5", "", "Error  this is a numeric field",
                 &frmAdmin::txtMins},
        RowFault{"RemainingAreWords", "bob", "pw", "30", "half", "Error  this is a numeric field",
                 &frmAdmin::txtLeft},
        RowFault{"RemainingOnlyBlanks", "bob", "pw", "30", "  ", "Error  this is a numeric field",
                 &frmAdmin::txtLeft},
        RowFault{"RemainingBelowRange", "bob", "pw", "30", "-2147483649",
                 "Error  this is a numeric field", &frmAdmin::txtLeft}),
    [](const ::testing::TestParamInfo<RowFault> &info) { return info.param.story; });

TEST_F(AdminWindow, AnEmptyRemainingFieldIsFilledFromTheMinutesEvenWhenALaterRowFails)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtLeft[1], QString());
    typeRow(w, 3, QStringLiteral("bob"), QString(), QStringLiteral("20"), QString(), QString());
    save(w);
    EXPECT_EQ(w.InErrMsg->text(), QStringLiteral("Enter Password"));
    EXPECT_TRUE(w.txtPassword[3]->hasFocus());
    EXPECT_EQ(w.txtLeft[1]->text(), QStringLiteral("60"));
    EXPECT_EQ(accountTable.account(2).minsLeft, 12);
    EXPECT_TRUE(nothingSavedSinceLogon());
}

// Minutes as typed in a locale, and as they come back after the save.
struct TypedMinutes
{
    const char *locale;
    const char *typed;
    const char *stored;
};

void PrintTo(const TypedMinutes &m, std::ostream *os)
{
    *os << m.locale << " \"" << m.typed << '"';
}

class MinutesField : public AdminWindow, public ::testing::WithParamInterface<TypedMinutes>
{};

TEST_P(MinutesField, IsStoredAsAPlainInteger)
{
    QLocale::setDefault(QLocale(QLatin1String(GetParam().locale)));
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    const QString typed = QString::fromUtf8(GetParam().typed);
    const QString plain = QString::fromUtf8(GetParam().stored);
    retype(w.txtMins[1], typed);
    retype(w.txtLeft[1], typed);
    save(w);
    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
    EXPECT_EQ(w.txtMins[1]->text(), plain);
    EXPECT_EQ(w.txtLeft[1]->text(), plain);
    EXPECT_EQ(stored("mins", 2), plain);
    EXPECT_EQ(stored("left", 2), plain);
}

INSTANTIATE_TEST_SUITE_P(
    , MinutesField,
    ::testing::Values(TypedMinutes{"en_US", " 45 ", "45"}, TypedMinutes{"en_US", "+45", "45"},
                      TypedMinutes{"en_US", "2.5", "2"}, TypedMinutes{"en_US", "3.5", "4"},
                      TypedMinutes{"en_US", "-2.5", "-2"}, TypedMinutes{"en_US", "0", "0"},
                      TypedMinutes{"en_US", "-1", "-1"}, TypedMinutes{"en_US", "1,000", "1000"},
                      TypedMinutes{"en_US", "2147483647", "2147483647"},
                      TypedMinutes{"en_US", "-2147483648", "-2147483648"},
                      TypedMinutes{"de_DE", "2,5", "2"}, TypedMinutes{"de_DE", "1.000", "1000"},
                      TypedMinutes{"C", " 3.5 ", "4"}));

class DateAsTyped : public AdminWindow, public ::testing::WithParamInterface<const char *>
{};

// Every form the grid reads is stored in the form of today's date, so that the day rule finds
// the day: a Remaining typed for today is what the next logon today gets.
TEST_P(DateAsTyped, PassesAndIsStoredInTheFormOfTodaysDate)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    const QString typed = QString::fromUtf8(GetParam());
    const QString expected = typed.isEmpty() ? QString() : DateText::fromDate(QDate(2026, 12, 8));
    retype(w.txtDate[1], typed);
    save(w);
    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
    EXPECT_FALSE(w.Calendar1->isVisible());
    EXPECT_EQ(w.txtDate[1]->text(), expected);
    EXPECT_EQ(stored("date", 2), expected);
}

INSTANTIATE_TEST_SUITE_P(, DateAsTyped,
                         ::testing::Values("12/8/2026", "12/08/26", "2026-12-08",
                                           "Tuesday, December 8, 2026", "December 8, 2026",
                                           "12/8/2026 ", ""));

class UnreadableDate : public AdminWindow, public ::testing::WithParamInterface<const char *>
{};

TEST_P(UnreadableDate, OpensTheCalendarOnItsRowWithoutAMessage)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    // An earlier save left its message; the date fault keeps it.
    save(w);
    ASSERT_EQ(w.InErrMsg->text(), RecordsUpdated);
    const int savesBefore = store.saves;
    const auto tableBefore = accountTable.accounts();
    retype(w.txtDate[2], QString::fromUtf8(GetParam()));
    w.Calendar1->setVisible(false);
    retype(w.txtLeft[2], QString());
    save(w);
    EXPECT_TRUE(w.Calendar1->isVisible());
    EXPECT_EQ(w.dateRow, 2);
    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
    EXPECT_TRUE(w.cmdSave->hasFocus());
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(store.saves, savesBefore);
    EXPECT_EQ(accountTable.accounts(), tableBefore);
    // The check stopped before the remaining field was filled.
    EXPECT_TRUE(w.txtLeft[2]->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(, UnreadableDate,
                         ::testing::Values("tomorrow", "13/8/2026", "2/30/2026", "8.12.2026", " "));

TEST_F(AdminWindow, ReloadShowsTheTableAndKeepsDeleteMarksAndTheMessage)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtMins[1], QStringLiteral("45"));
    save(w);
    retype(w.txtMins[1], QStringLiteral("999"));
    typeRow(w, 5, QStringLiteral("ghost"), QStringLiteral("boo"), QStringLiteral("1"), QString(),
            QString());
    QTest::mouseClick(w.chkDel[2], Qt::LeftButton);
    // The store is not read again: the table in memory is what Reload shows.
    store.set(QStringLiteral("mins2"), QStringLiteral("7"));
    QTest::mouseClick(w.cmdReload, Qt::LeftButton);
    EXPECT_EQ(w.txtMins[1]->text(), QStringLiteral("45"));
    EXPECT_EQ(rowTexts(w, 5), QStringList(5, QString()));
    EXPECT_TRUE(w.chkDel[2]->isChecked());
    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
}

TEST_F(AdminWindow, AFailedSaveIsReportedWithItsNumberAndNotAsUpdated)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    QTest::mouseClick(w.chkDel[1], Qt::LeftButton);
    store.failNextSave = true;
    save(w);
    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("Error 75 Path/File access error: disk full")});
    EXPECT_TRUE(w.InErrMsg->text().isEmpty());
    EXPECT_EQ(stored("user", 2), QStringLiteral("KID"));
    // The table was rebuilt before the store failed, and the grid shows it.
    EXPECT_EQ(accountTable.count(), 2);
    EXPECT_EQ(w.txtUser[1]->text(), QStringLiteral("TEEN"));
}

// The rare grid whose first row has no account: its user id cannot take the focus.
TEST_F(AdminWindow, AFaultInAFirstRowWithoutUserIdFocusesItsFirstUsableField)
{
    frmAdmin &w = logOnAsAdministrator(QStringLiteral("quiverlantern"));
    accountTable.setAccounts({});
    QTest::mouseClick(w.cmdReload, Qt::LeftButton);
    retype(w.txtMins[0], QStringLiteral("10"));
    w.cmdSave->setFocus();
    save(w);
    EXPECT_EQ(w.InErrMsg->text(), QStringLiteral("Enter User ID"));
    EXPECT_TRUE(w.txtPassword[0]->hasFocus());
}

// Logoff and closing the window by any other means hand back to the logon window.
class LeavingTheWindow : public AdminWindow, public ::testing::WithParamInterface<bool>
{};

TEST_P(LeavingTheWindow, BringsBackTheLogonWindowAndSavesNothing)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    const auto tableBefore = accountTable.accounts();
    retype(w.txtMins[1], QStringLiteral("999"));
    disablerLog.clear();
    if (GetParam())
        QTest::mouseClick(w.cmdLogoff, Qt::LeftButton);
    else
        w.close();

    EXPECT_FALSE(flow().hasAdmin());
    frmLogon &logon = flow().logon();
    EXPECT_TRUE(logon.isVisible());
    EXPECT_TRUE(logon.Timer1->isActive());
    EXPECT_FALSE(logon.windowState() & Qt::WindowMinimized);
    ASSERT_FALSE(disablerLog.isEmpty());
    EXPECT_EQ(disablerLog.last(), QStringLiteral("switches on"));
    EXPECT_FALSE(disablerLog.contains(QStringLiteral("shut-down requested")));
    EXPECT_TRUE(nothingSavedSinceLogon());
    EXPECT_EQ(accountTable.accounts(), tableBefore);
    EXPECT_EQ(programEnd.ends, 0);

    // The next administrator logon gets a fresh window.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frmAdmin &again = logOnAsAdministrator();
    EXPECT_EQ(again.txtMins[1]->text(), QStringLiteral("60"));
}

INSTANTIATE_TEST_SUITE_P(, LeavingTheWindow, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "ByLogoff" : "ByClosing";
                         });

// The administrator's time is not counted: an allowance of 0 minutes a day, which disables any
// other account, does not lock the administrator out, later the same day or on a new day.
class AdministratorWithoutDailyMinutes : public AdminWindow,
                                         public ::testing::WithParamInterface<int>
{};

TEST_P(AdministratorWithoutDailyMinutes, StillLogsOnAndGetsTheAdministratorWindow)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtMins[0], QStringLiteral("0"));
    save(w);
    ASSERT_EQ(w.InErrMsg->text(), RecordsUpdated);
    ASSERT_EQ(stored("mins", 1), QStringLiteral("0"));
    QTest::mouseClick(w.cmdLogoff, Qt::LeftButton);
    ASSERT_FALSE(flow().hasAdmin());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    today.day = today.day.addDays(GetParam());
    frmAdmin &again = logOnAsAdministrator();
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join(QLatin1Char('\n')));
    EXPECT_FALSE(flow().hasSession());
    EXPECT_FALSE(flow().logon().isVisible());
    EXPECT_EQ(rowTexts(again, 0),
              (QStringList{QStringLiteral("ADMINISTRATOR"), QStringLiteral("BOSS"),
                           QStringLiteral("0"), QStringLiteral("-1"), todayText()}));
}

INSTANTIATE_TEST_SUITE_P(, AdministratorWithoutDailyMinutes, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return info.param == 0 ? "LaterThatDay" : "OnANewDay";
                         });

TEST_F(AdminWindow, ExitEndsTheProgramAtOnceWithoutSavingOrShuttingDown)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtMins[1], QStringLiteral("999"));
    disablerLog.clear();
    QTest::mouseClick(w.cmdExit, Qt::LeftButton);
    EXPECT_EQ(programEnd.ends, 1);
    EXPECT_TRUE(nothingSavedSinceLogon());
    EXPECT_FALSE(flow().hasAdmin());
    EXPECT_FALSE(flow().hasLogon());
    EXPECT_TRUE(disablerLog.isEmpty());
}

// The cell of the calendar's shown month that holds the given day number (from 15 on, a day
// number appears once in the six weeks shown).
QRect dayCell(Calendar *calendar, int day, QTableView **view)
{
    *view = calendar->findChild<QTableView *>();
    const QAbstractItemModel *model = (*view)->model();
    const int firstDayColumn =
        calendar->verticalHeaderFormat() == QCalendarWidget::NoVerticalHeader ? 0 : 1;
    for (int row = 1; row < model->rowCount(); ++row) {
        for (int column = firstDayColumn; column < model->columnCount(); ++column) {
            const QModelIndex index = model->index(row, column);
            if (model->data(index).toInt() == day)
                return (*view)->visualRect(index);
        }
    }
    return {};
}

TEST_F(AdminWindow, ABlankInADateFieldOpensTheCalendarOnThatRow)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    w.txtDate[5]->setFocus();
    QTest::keyClick(w.txtDate[5], Qt::Key_Space);
    EXPECT_TRUE(w.Calendar1->isVisible());
    EXPECT_EQ(w.dateRow, 5);
    EXPECT_EQ(w.Calendar1->value(), QDate::currentDate());
    // Opening leaves the focus where the person is typing.
    EXPECT_TRUE(w.txtDate[5]->hasFocus());

    // Selecting a filled date's whole text and typing a blank moves it to that row.
    w.Calendar1->setSelectedDate(QDate(2001, 1, 1));
    retype(w.txtDate[1], QStringLiteral(" "));
    EXPECT_EQ(w.dateRow, 1);
    EXPECT_EQ(w.Calendar1->value(), QDate::currentDate());
}

TEST_F(AdminWindow, ABlankAfterOtherTextDoesNotOpenTheCalendar)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    w.txtDate[1]->setFocus();
    w.txtDate[1]->end(false);
    QTest::keyClick(w.txtDate[1], Qt::Key_Space);
    retype(w.txtDate[3], QStringLiteral("12 "));
    EXPECT_FALSE(w.Calendar1->isVisible());
}

TEST_F(AdminWindow, AStoredSingleBlankDateOpensTheCalendarWhenTheGridFills)
{
    storeFamily();
    storeAccount(4, QStringLiteral("ODD"), QStringLiteral("ONE"), 5, QStringLiteral(" "), 5);
    frmAdmin &w = logOnAsAdministrator();
    EXPECT_TRUE(w.Calendar1->isVisible());
    EXPECT_EQ(w.dateRow, 3);
}

TEST_F(AdminWindow, ClickingADayWritesItIntoTheRowThatOpenedTheCalendar)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtDate[2], QStringLiteral(" "));
    ASSERT_TRUE(w.Calendar1->isVisible());
    QTableView *view = nullptr;
    const QRect cell = dayCell(w.Calendar1, 15, &view);
    ASSERT_TRUE(cell.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());

    const QDate picked(w.Calendar1->yearShown(), w.Calendar1->monthShown(), 15);
    EXPECT_EQ(w.txtDate[2]->text(), DateText::fromDate(picked));
    EXPECT_TRUE(w.txtDate[2]->hasFocus());
    EXPECT_FALSE(w.Calendar1->isVisible());
    EXPECT_EQ(w.txtDate[1]->text(), kidDate());

    // The written text passes the save's check.
    save(w);
    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
    EXPECT_EQ(stored("date", 3), DateText::fromDate(picked));
}

TEST_F(AdminWindow, TheCalendarWritesTheStoredDateFormInAGermanLocale)
{
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtDate[1], QStringLiteral(" "));
    w.Calendar1->setSelectedDate(QDate(2026, 12, 8));
    emit w.Calendar1->Click();
    EXPECT_EQ(w.txtDate[1]->text(), QStringLiteral("08.12.2026"));
    save(w);
    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
}

TEST_F(AdminWindow, LeavingTheCalendarClosesItWithoutWritingADate)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtDate[1], QStringLiteral(" "));
    ASSERT_TRUE(w.Calendar1->isVisible());
    w.Calendar1->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(w.Calendar1->isAncestorOf(QApplication::focusWidget()));
    QTest::mouseClick(w.txtUser[1], Qt::LeftButton);
    EXPECT_FALSE(w.Calendar1->isVisible());
    EXPECT_EQ(w.txtDate[1]->text(), QStringLiteral(" "));
    EXPECT_TRUE(w.txtUser[1]->hasFocus());
}

TEST_F(AdminWindow, ADateLeftAsASingleBlankStopsTheSaveAndReopensTheCalendar)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtDate[2], QStringLiteral(" "));
    w.Calendar1_LostFocus();
    ASSERT_FALSE(w.Calendar1->isVisible());
    save(w);
    EXPECT_TRUE(w.Calendar1->isVisible());
    EXPECT_EQ(w.dateRow, 2);
    EXPECT_TRUE(w.InErrMsg->text().isEmpty());
    EXPECT_TRUE(nothingSavedSinceLogon());
}

} // namespace

namespace {

TEST_F(AdminWindow, ARemainingTypedForTodayInAnotherDateFormIsWhatTheNextLogonGets)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    retype(w.txtLeft[1], QStringLiteral("5"));
    retype(w.txtDate[1], QStringLiteral("2026-12-08"));
    save(w);
    ASSERT_EQ(w.InErrMsg->text(), RecordsUpdated);
    const Logon kid = accountTable.logOn(QStringLiteral("KID"), QStringLiteral("PW"), todayText());
    ASSERT_EQ(kid.outcome, Logon::LoggedOn);
    EXPECT_EQ(kid.grant.minutes, 5) << "the same day, not a new day's 60";
}

TEST_F(AdminWindow, AFailedSaveTakesAnEarlierSavesRecordsUpdatedAway)
{
    storeFamily();
    frmAdmin &w = logOnAsAdministrator();
    save(w);
    ASSERT_EQ(w.InErrMsg->text(), RecordsUpdated);
    store.failNextSave = true;
    save(w);
    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("Error 75 Path/File access error: disk full")});
    EXPECT_TRUE(w.InErrMsg->text().isEmpty());
}

// A room's table, held in memory, whose saves fail or are refused on demand.
class FakeRoom : public MemoryAccountStore
{
public:
    FakeRoom()
        : MemoryAccountStore({{AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1},
                              {QStringLiteral("KID"), QStringLiteral("PW"), 60, QString(), 12}})
    {
        sharedWithOthers = true;
    }
};

class AdminWindowInARoom : public AdminWindow
{
protected:
    void SetUp() override
    {
        AdminWindow::SetUp();
        accountTable.setStore(&room);
    }
    FakeRoom room;
};

TEST_F(AdminWindowInARoom, ASaveTheServerFailsKeepsTheTypedGridAndSaysSoInTheMessageLine)
{
    frmAdmin &w = logOnAsAdministrator();
    save(w);
    ASSERT_EQ(w.InErrMsg->text(), RecordsUpdated);
    room.failWrites = true;
    retype(w.txtMins[1], QStringLiteral("45"));
    typeRow(w, 2, QStringLiteral("new"), QStringLiteral("pw"), QStringLiteral("30"), QString(),
            QString());
    QTest::mouseClick(w.chkDel[1], Qt::LeftButton);
    QStringList typed = rowTexts(w, 2);
    // The empty Remaining takes the minutes per day, as in every save.
    typed[3] = QStringLiteral("30");
    save(w);
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join(QLatin1Char('\n')));
    EXPECT_EQ(w.InErrMsg->text(), AccountTable::ServerSaveFailedText);
    EXPECT_EQ(w.txtMins[1]->text(), QStringLiteral("45"));
    EXPECT_EQ(rowTexts(w, 2), typed) << "as typed, not upper-cased or closed up";
    EXPECT_TRUE(w.chkDel[1]->isChecked());
    EXPECT_EQ(accountTable.account(2).minsPerDay, 60) << "the table is as the room has it";

    // Once the server takes it, the same grid is saved.
    room.failWrites = false;
    save(w);
    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
    ASSERT_EQ(room.table().accounts.size(), 2);
    EXPECT_EQ(room.table().accounts.at(1).userId, QStringLiteral("NEW"));
}

TEST_F(AdminWindowInARoom, TheMessageLineShowsTheWholeOfItsLongestTexts)
{
    frmAdmin &w = logOnAsAdministrator();
    room.changeElsewhere(room.table().accounts);
    save(w);
    ASSERT_EQ(w.InErrMsg->text(), AccountTable::ChangedElsewhereText);
    for (const QString &text :
         {AccountTable::ChangedElsewhereText, AccountTable::ServerSaveFailedText}) {
        w.InErrMsg->setText(text);
        EXPECT_TRUE(w.InErrMsg->wordWrap());
        EXPECT_LE(w.InErrMsg->heightForWidth(w.InErrMsg->width()), w.InErrMsg->height())
            << qPrintable(text);
        EXPECT_LE(w.InErrMsg->geometry().bottom(), w.frmAdminx->geometry().bottom());
        // No word is wider than the line.
        for (const QString &word : text.split(QLatin1Char(' ')))
            EXPECT_LE(w.InErrMsg->fontMetrics().horizontalAdvance(word), w.InErrMsg->width());
    }
}

TEST_F(AdminWindowInARoom, AGridChangedOnAnotherComputerIsNotSavedUntilReloaded)
{
    frmAdmin &w = logOnAsAdministrator();
    room.changeElsewhere({{AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1},
                          {QStringLiteral("KID"), QStringLiteral("PW"), 90, QString(), 12},
                          {QStringLiteral("GUEST"), QStringLiteral("G"), 15, QString(), 15}});
    const int writes = room.writes;
    retype(w.txtMins[1], QStringLiteral("45"));
    save(w);
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join(QLatin1Char('\n')));
    EXPECT_EQ(w.InErrMsg->text(), AccountTable::ChangedElsewhereText);
    EXPECT_EQ(room.writes, writes) << "nothing is written over the other computer's change";
    EXPECT_EQ(room.table().accounts.at(1).minsPerDay, 90);
    EXPECT_EQ(w.txtMins[1]->text(), QStringLiteral("45")) << "the grid stays as typed";

    // Reload shows the other computer's table; a save after it is taken.
    QTest::mouseClick(w.cmdReload, Qt::LeftButton);
    EXPECT_EQ(w.txtMins[1]->text(), QStringLiteral("90"));
    EXPECT_EQ(w.txtUser[2]->text(), QStringLiteral("GUEST"));
    retype(w.txtMins[1], QStringLiteral("45"));
    save(w);
    EXPECT_EQ(w.InErrMsg->text(), RecordsUpdated);
    EXPECT_EQ(room.table().accounts.at(1).minsPerDay, 45);
    EXPECT_EQ(room.table().accounts.at(2).userId, QStringLiteral("GUEST"));
}

} // namespace
