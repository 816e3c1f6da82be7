// Computers of one room in different date locales (en_US and de_DE): the room keeps the date
// itself, each computer reads and writes it in its own form, and one day is one allowance.
#include "RoomFixture.h"

#include "core/rules/DateText.h"

#include <QLocale>

namespace {

const QDate Day(2026, 12, 9);

// The computer that runs now uses this locale, as a computer set up for it would.
void useLocale(const char *name)
{
    QLocale::setDefault(QLocale(QLatin1String(name)));
}

using RoomDates = RoomFixture;

TEST_F(RoomDates, ComputersInTwoLocalesGiveOneAllowanceADay)
{
    useLocale("en_US");
    put({{AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1},
         {QStringLiteral("KID"), QStringLiteral("PW"), 60, DateText::fromDate(Day.addDays(-1)),
          60}});
    Computer a(computer(QStringLiteral("a")));
    ASSERT_EQ(a.logOn(QStringLiteral("KID"), QStringLiteral("PW"), DateText::fromDate(Day)).outcome,
              Logon::LoggedOn);
    ASSERT_EQ(DateText::fromDate(Day), QStringLiteral("12/9/2026"));

    useLocale("de_DE");
    ASSERT_EQ(DateText::fromDate(Day), QStringLiteral("09.12.2026"));
    Computer b(computer(QStringLiteral("b")));
    b.table.reload();
    EXPECT_EQ(b.table.account(2).lastDate, QStringLiteral("09.12.2026"))
        << "B shows the day in its own form";
    EXPECT_EQ(b.logOn(QStringLiteral("KID"), QStringLiteral("PW"), DateText::fromDate(Day)).outcome,
              Logon::NoTimeLeft)
        << "the session A started is the day's one session";

    // A's session ends with 20 left; B continues from there the same day, and A's end found its
    // row (B did not replace A's session).
    useLocale("en_US");
    a.endSession(20, DateText::fromDate(Day));
    useLocale("de_DE");
    ASSERT_EQ(b.logOn(QStringLiteral("KID"), QStringLiteral("PW"), DateText::fromDate(Day)).outcome,
              Logon::LoggedOn);
    EXPECT_EQ(b.session.minutes, 20);
    b.endSession(7, DateText::fromDate(Day));

    // The administrator on the de_DE computer saves the grid as it shows it: the dates read, and
    // an en_US computer sees the same day afterwards.
    Computer boss(computer(QStringLiteral("boss")));
    boss.table.reload();
    QList<AccountTable::GridRow> grid;
    for (const AccountSlot &s : boss.table.accounts())
        grid.append({false, s.userId, s.password, QString::number(s.minsPerDay),
                     QString::number(s.minsLeft), s.lastDate});
    ASSERT_EQ(grid.at(1).date, QStringLiteral("09.12.2026"));
    ASSERT_EQ(boss.table.replaceWithGrid(grid), AccountTable::GridSave::Saved);
    useLocale("en_US");
    const QList<AccountSlot> room = stored();
    EXPECT_EQ(room.at(1), (AccountSlot{QStringLiteral("KID"), QStringLiteral("PW"), 60,
                                       QStringLiteral("12/9/2026"), 7}));
    EXPECT_EQ(room.at(0).lastDate, QString()) << "an empty date stays empty";
}

TEST_F(RoomDates, EveryFormTheGridReadsIsStoredAsTheOneDay)
{
    useLocale("de_DE");
    put({{AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1}});
    Computer boss(computer(QStringLiteral("boss")));
    boss.table.reload();
    const QStringList typed{QStringLiteral("2026-12-09"), QStringLiteral("9.12.26"),
                            QStringLiteral("09.12.2026"), QStringLiteral("9. Dezember 2026")};
    QList<AccountTable::GridRow> grid{{false, AccountTable::AdminId, QStringLiteral("BOSS"),
                                       QStringLiteral("-1"), QStringLiteral("-1"), QString()}};
    for (int n = 0; n < typed.size(); ++n)
        grid.append({false, QStringLiteral("U%1").arg(n), QStringLiteral("PW"),
                     QStringLiteral("60"), QStringLiteral("5"), typed.at(n)});
    QList<AccountTable::GridRow> checked = grid;
    ASSERT_FALSE(AccountTable::checkGrid(checked));
    ASSERT_EQ(boss.table.replaceWithGrid(grid), AccountTable::GridSave::Saved);
    for (int n = 0; n < typed.size(); ++n) {
        EXPECT_EQ(boss.table.account(n + 2).lastDate, QStringLiteral("09.12.2026"))
            << qPrintable(typed.at(n));
        const Logon logOn =
            boss.logOn(QStringLiteral("U%1").arg(n), QStringLiteral("PW"), DateText::fromDate(Day));
        ASSERT_EQ(logOn.outcome, Logon::LoggedOn);
        EXPECT_EQ(boss.session.minutes, 5) << "today's Remaining, not a new day's 60";
    }
}

} // namespace
