#include "core/rules/AccountTable.h"
#include "core/settings/IniSettingsStore.h"
#include "tests/support/AccountsOnFile.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <functional>

namespace {

// One damaged or hostile settings file and what loading it must give.
struct HostileFile
{
    const char *name;
    std::function<QByteArray()> contents;
    // The account count it must load as; 0: any count from 1 to 10.
    int count;
    // True only where the file itself says -1 for slot 1 (the administrator's unlimited time).
    bool slotOneUnlimited = false;
};

void PrintTo(const HostileFile &file, std::ostream *os)
{
    *os << file.name;
}

QByteArray repeated(char c, int n)
{
    return QByteArray(n, c);
}

QByteArray thousandsOfKeys()
{
    QByteArray text = "[SecData]\nuser1=KID\npswd1=PW\nmins1=30\ndate1=12/8/2026\nleft1=20\n";
    for (int i = 0; i < 20000; ++i)
        text += "junk" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\n";
    text += "user2=TEEN\nmins2=45\nleft2=45\n";
    return text;
}

QByteArray veryLongValues()
{
    return "[SecData]\nuser1=" + repeated('A', 1 << 20) + "\npswd1=" + repeated('B', 1 << 20) +
           "\nmins1=-" + repeated('9', 5000) + "\nleft1=-1" + repeated('0', 100000) + "\n";
}

QByteArray randomBytes()
{
    QRandomGenerator random(20261208);
    QByteArray text = "[SecData]\nuser1=KID\n";
    for (int i = 0; i < 65536; ++i)
        text += char(random.bounded(256));
    return text;
}

const HostileFile HostileFiles[] = {
    {"ThousandsOfKeys", thousandsOfKeys, 2},
    {"VeryLongValues", veryLongValues, 1},
    {"ControlCharacters",
     [] {
         return QByteArray(
             "[SecData]\nuser1=\x01\x02\x1b[31mKID\x7f\npswd1=\a\b\f\v\nmins1=\x01-1\n"
             "left1=-1\x1b\nuser2=\t\n");
     },
     1},
    {"InvalidUtf8",
     [] {
         return QByteArray("[SecData]\nuser1=\xff\xfe\xc3\x28\xe2\x82\npswd1=\xc0\xaf\n"
                           "mins1=-1\xff\nleft1=\xed\xa0\x80-1\n");
     },
     1},
    {"DuplicateKeys",
     [] {
         return QByteArray("[SecData]\nuser1=ONE\nuser1=TWO\nmins1=5\nmins1=7\nleft1=3\nleft1=4\n"
                           "user2=X\nuser2=\n");
     },
     0},
    {"SectionRepeated",
     [] {
         return QByteArray("[SecData]\nuser1=ONE\nmins1=5\n[Other]\nuser2=NOT\n[SecData]\n"
                           "user2=TWO\nmins2=6\n[SecData]\nleft1=2\n");
     },
     2},
    {"QtTypedValues",
     [] {
         return QByteArray("[SecData]\nuser1=KID\n"
                           "mins1=@Variant(\\0\\0\\0\\x2\\xff\\xff\\xff\\xff)\n"
                           "left1=@ByteArray(-1)\n"
                           "user2=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x6QImage\\xff\\xff)\n"
                           "user3=@Rect(1 2 3 4)\n");
     },
     1},
    {"TruncatedQtTypedValues",
     [] {
         return QByteArray("[SecData]\nuser1=KID\nmins1=@Variant(\\0\\0\\0\nleft1=@Variant(\n"
                           "user2=@Variant(\\0\\0\\0\\xc\\x7f\\xff\\xff\\xff)\n");
     },
     1},
    {"LinesWithoutEqualSigns",
     [] {
         return QByteArray("[SecData]\nuser1=KID\nthis line has no equals sign\nmins1=30\n=\n"
                           "[\n]]]\n[SecData\nleft1\nleft1=-\n");
     },
     1},
    {"MinusOneFollowedByANul",
     [] {
         static const char text[] = "[SecData]\nuser1=KID\nmins1=-1\0garbage\nleft1=-1\0\n";
         return QByteArray(text, sizeof text - 1);
     },
     1},
    {"NulBytesOnlyAsAfterACrash", [] { return repeated('\0', 4096); }, 1},
    {"RandomBytes", randomBytes, 0},
    // The one file here that really grants unlimited time: it says exactly -1.
    {"AnAdministratorThatSaysMinusOne",
     [] { return QByteArray("[SecData]\nuser1=ADMINISTRATOR\npswd1=PW\nmins1=-1\nleft1=-1\n"); }, 1,
     true},
};

class HostileSettingsFile : public ::testing::TestWithParam<HostileFile>
{};

TEST_P(HostileSettingsFile, LoadsWithinBoundsAndNeverGrantsUnlimitedTime)
{
    AccountsOnFile accounts;
    ASSERT_TRUE(accounts.write(GetParam().contents()));
    const IniSettingsStore &store = accounts.store;
    AccountTable &table = accounts.table;

    QElapsedTimer clock;
    clock.start();
    table.LoadAccounts();
    EXPECT_LT(clock.elapsed(), 5000) << "loading took too long";

    ASSERT_GE(table.count(), 1);
    ASSERT_LE(table.count(), AccountTable::MaxAccounts);
    if (GetParam().count != 0) {
        EXPECT_EQ(table.count(), GetParam().count);
    }

    const AccountSlot firstRun{AccountTable::AdminId, AccountTable::FirstRunPassword, -1,
                               AccountTable::FirstRunDate, -1};
    if (store.value(AccountTable::Section, AccountTable::key("user", 1)).isEmpty()) {
        EXPECT_EQ(table.account(1), firstRun);
        return;
    }
    for (int n = 1; n <= table.count(); ++n) {
        const AccountSlot &slot = table.account(n);
        EXPECT_FALSE(slot.userId.isEmpty()) << "slot " << n;
        const bool unlimited = n == 1 && GetParam().slotOneUnlimited;
        EXPECT_EQ(slot.minsPerDay < 0, unlimited) << "slot " << n << ": " << slot.minsPerDay;
        EXPECT_EQ(slot.minsLeft < 0, unlimited) << "slot " << n << ": " << slot.minsLeft;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSettingsFile, ::testing::ValuesIn(HostileFiles),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
