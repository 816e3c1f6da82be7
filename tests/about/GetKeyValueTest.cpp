#include "about/frmAbout.h"
#include "core/rules/AppError.h"
#include "core/services/Services.h"
#include "tests/support/RegistryFile.h"

#include <gtest/gtest.h>

namespace {

const QString TestKey = QStringLiteral("SOFTWARE\\TimoraDesk\\Test");
const QString Before = QStringLiteral("text before the look-up");

struct LookUp
{
    const char *story;
    QString valueLine; // the value's line in the key's group
    bool read;
    QString text;
};

void PrintTo(const LookUp &c, std::ostream *os)
{
    *os << c.story;
}

class GetKeyValue : public RegistryTest, public ::testing::WithParamInterface<LookUp>
{};

TEST_P(GetKeyValue, ReadsTheValueAsTheWindowNeedsIt)
{
    const LookUp &c = GetParam();
    file.write({QStringLiteral("[") + TestKey + QStringLiteral("]"), c.valueLine});
    QString text = Before;
    EXPECT_EQ(flow().about().GetKeyValue(Registry::HKEY_LOCAL_MACHINE, TestKey, QStringLiteral("V"),
                                         text),
              c.read);
    EXPECT_EQ(text, c.text);
}

const QString Long1023(1023, QLatin1Char('x'));
const QString Long1024(1024, QLatin1Char('x'));

INSTANTIATE_TEST_SUITE_P(
    Values, GetKeyValue,
    ::testing::Values(
        LookUp{"a string stored with its terminating NUL is read without it",
               QStringLiteral("V=sz:/usr/bin/hardinfo"), true, QStringLiteral("/usr/bin/hardinfo")},
        LookUp{"a string stored without a terminator keeps every character",
               QStringLiteral("V=hex(1):2f,62,69,6e"), true, QStringLiteral("/bin")},
        LookUp{"only the one NUL at the end is dropped", QStringLiteral("V=hex(1):61,00,62,00,00"),
               true, QStringLiteral("a") + QChar(0) + QStringLiteral("b") + QChar(0)},
        LookUp{"an empty string (its NUL alone) reads as empty text", QStringLiteral("V=sz:"), true,
               QString()},
        LookUp{"a string in UTF-8 reads as the same characters",
               QStringLiteral("V=sz:/opt/Systemübersicht/bin"), true,
               QStringLiteral("/opt/Systemübersicht/bin")},
        LookUp{"a DWORD reads as decimal text", QStringLiteral("V=dword:0001e240"), true,
               QStringLiteral("123456")},
        LookUp{"a DWORD ending in zero bytes keeps its value", QStringLiteral("V=dword:00000004"),
               true, QStringLiteral("4")},
        LookUp{"the largest DWORD reads without a sign", QStringLiteral("V=dword:ffffffff"), true,
               QStringLiteral("4294967295")},
        LookUp{"a binary value counts as read and leaves the text as passed",
               QStringLiteral("V=hex:01,02,03"), true, Before},
        LookUp{"a value of any other type counts as read and leaves the text as passed",
               QStringLiteral("V=hex(2):25,50,41,54,48,25,00"), true, Before},
        LookUp{"a value of 1024 bytes is read whole", QStringLiteral("V=sz:") + Long1023, true,
               Long1023},
        LookUp{"a value over 1024 bytes fails with empty text", QStringLiteral("V=sz:") + Long1024,
               false, QString()},
        LookUp{"a missing value fails with empty text", QStringLiteral("Other=sz:/usr/bin/true"),
               false, QString()},
        LookUp{"a line that cannot be read counts as a missing value",
               QStringLiteral("V=dword:not-a-number"), false, QString()}));

TEST_F(RegistryTest, AMissingKeyFailsWithEmptyText)
{
    file.write({QStringLiteral("[SOFTWARE\\TimoraDesk\\Other]"), QStringLiteral("V=sz:x")});
    QString text = Before;
    EXPECT_FALSE(flow().about().GetKeyValue(Registry::HKEY_LOCAL_MACHINE, TestKey,
                                            QStringLiteral("V"), text));
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(RegistryTest, AMissingRegistryFileFailsWithEmptyText)
{
    QString text = Before;
    EXPECT_FALSE(flow().about().GetKeyValue(Registry::HKEY_LOCAL_MACHINE, TestKey,
                                            QStringLiteral("V"), text));
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(RegistryTest, WithoutARegistryTheLookUpFails)
{
    file.write({QStringLiteral("[") + TestKey + QStringLiteral("]"), QStringLiteral("V=sz:x")});
    services.registry = nullptr;
    QString text = Before;
    EXPECT_FALSE(flow().about().GetKeyValue(Registry::HKEY_LOCAL_MACHINE, TestKey,
                                            QStringLiteral("V"), text));
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(RegistryTest, AValueOfZeroBytesIsARunTimeFailureThatStillClosesTheKey)
{
    file.write({QStringLiteral("[") + TestKey + QStringLiteral("]"), QStringLiteral("V=hex(1):")});
    QString text = Before;
    EXPECT_THROW(flow().about().GetKeyValue(Registry::HKEY_LOCAL_MACHINE, TestKey,
                                            QStringLiteral("V"), text),
                 AppError);
    EXPECT_EQ(registry.openKeyCount(), 0);
}

} // namespace
