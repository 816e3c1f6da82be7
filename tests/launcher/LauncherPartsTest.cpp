// What the setuid launcher decides from what it reads, each part on its own text or table.
#include "CallerInput.h"
#include "MountTable.h"
#include "ProcessTable.h"
#include "XServerAccess.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(CallerInput, OnlyALocalDisplayOfBoundedDigitsPasses)
{
    const std::pair<const char *, bool> cases[] = {
        {":0", true},
        {":1.0", true},
        {":9999", true},
        {":12.34", true},
        {nullptr, false},
        {"", false},
        {":", false},
        {"0", false},
        {":12345", false},
        {":0.123", false},
        {":0.", false},
        {":.0", false},
        {":0.0.0", false},
        {":a", false},
        {":0;id", false},
        {":0 ", false},
        {"host:0", false},
        {"unix:0", false},
        {"/tmp/.X11-unix/X0", false},
        {":-1", false},
        {":+1", false},
        {":0\n:1", false},
    };
    for (const auto &[display, local] : cases)
        EXPECT_EQ(CallerInput::isLocalDisplay(display), local) << (display ? display : "(none)");
    EXPECT_EQ(CallerInput::displayNumber(":12.3"), "12");
    EXPECT_EQ(CallerInput::displayNumber(":7"), "7");
}

TEST(CallerInput, TheLocaleFileGivesOnlyPlainLocaleSettings)
{
    const std::string file = "# the machine's locale\n"
                             "LANG=de_DE.UTF-8\n"
                             "LC_TIME=\"en_GB.UTF-8\"\n"
                             "LC_PAPER='C'\n"
                             "LANGUAGE=de:en\n"
                             "LC_MONETARY=$(touch /tmp/x)\n"
                             "LC_NUMERIC=\"mixed'\n"
                             "LC_ALL=a b\n"
                             "lc_ctype=C\n"
                             "LC_=C\n"
                             "LC_X1=C\n"
                             "FOO=bar\n"
                             "PATH=/tmp\n"
                             "LD_PRELOAD=x.so\n"
                             "LC_NAME=" +
                             std::string(65, 'a') + "\n" + "LC_ADDRESS=C\0LANG=evil\n"s +
                             "LC_COLLATE=de_\0\0x\n"s + "\n=C\nLC_MESSAGES=C";
    const std::vector<std::string> expected = {"LANG=de_DE.UTF-8", "LC_TIME=en_GB.UTF-8",
                                               "LC_PAPER=C", "LANGUAGE=de:en", "LC_MESSAGES=C"};
    EXPECT_EQ(CallerInput::localeSettings(file), expected);
    EXPECT_TRUE(CallerInput::localeSettings("").empty());
}

TEST(CallerInput, AMemberIsOneByItsPrimaryGroupOrAnotherOfItsGroups)
{
    EXPECT_TRUE(CallerInput::memberOf(50, 50, {}));
    EXPECT_TRUE(CallerInput::memberOf(50, 10, {3, 50, 7}));
    EXPECT_FALSE(CallerInput::memberOf(50, 10, {3, 7}));
    EXPECT_FALSE(CallerInput::memberOf(50, 10, {}));
}

TEST(MountTable, ThePointsAtAndBelowAFolderComeDeepestFirstAndUnescaped)
{
    const std::string table = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                              "30 22 0:40 / /home/kiosk rw - tmpfs tmpfs rw\n"
                              "31 30 0:41 / /home/kiosk/a\\040b/deep rw - fuse fuse rw\n"
                              "32 30 0:42 / /home/kiosk/a\\040b rw - fuse fuse rw\n"
                              "33 22 0:43 / /home/kioskother rw - tmpfs tmpfs rw\n"
                              "34 22 0:44 / /home/kiosk\\134x rw - tmpfs tmpfs rw\n"
                              "35 22 0:45 / /home/kiosk\\0 rw - tmpfs tmpfs rw\n"
                              "short line\n"
                              "36 22 0:46 / /home/kiosk/last rw - tmpfs tmpfs rw";
    // (Deepest first: a folder's mount point is longer than that of any folder above it.)
    const std::vector<std::string> expected = {"/home/kiosk/a b/deep", "/home/kiosk/last",
                                               "/home/kiosk/a b", "/home/kiosk"};
    EXPECT_EQ(MountTable::pointsAtOrBelow(table, "/home/kiosk"), expected);
    EXPECT_EQ(MountTable::pointsAtOrBelow(table, "/home/kiosk\\x"),
              std::vector<std::string>{"/home/kiosk\\x"});
    EXPECT_TRUE(MountTable::pointsAtOrBelow(table, "/srv").empty());
    EXPECT_TRUE(MountTable::pointsAtOrBelow("", "/home/kiosk").empty());
    // This process's own table names the root file system.
    const std::vector<std::string> own =
        MountTable::pointsAtOrBelow(MountTable::ofThisProcess(), "/");
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.back(), "/");
}

// A process table of the test's own: process id -> its threads' status texts.
class FakeProcesses : public ProcessTable
{
public:
    std::vector<long> processes() const override
    {
        std::vector<long> ids;
        for (const auto &entry : table)
            ids.push_back(entry.first);
        return ids;
    }
    std::vector<long> threads(long pid) const override
    {
        std::vector<long> ids;
        const auto found = table.find(pid);
        for (size_t i = 0; found != table.end() && i < found->second.size(); ++i)
            ids.push_back(pid * 100 + static_cast<long>(i));
        return ids;
    }
    std::string status(long pid, long thread) const override
    {
        const auto found = table.find(pid);
        const size_t index = static_cast<size_t>(thread - pid * 100);
        return found != table.end() && index < found->second.size() ? found->second[index]
                                                                    : std::string();
    }
    std::map<long, std::vector<std::string>> table;
};

std::string status(char state, const std::string &uids)
{
    return std::string("Name:\tx\nState:\t") + state + " (x)\nTgid:\t1\nUid:\t" + uids +
           "\t0\nGid:\t0\t0\t0\t0\n";
}

TEST(ProcessTable, ALiveThreadOfTheAccountIsFoundWhereverItRuns)
{
    // One status text: the account in its real, effective or saved id, and alive.
    const std::pair<std::string, bool> threads[] = {
        {status('S', "1000\t1000\t1000"), true},
        {status('R', "0\t1000\t0"), true},
        {status('D', "0\t0\t1000"), true},
        {status('T', "1000\t0\t0"), true},
        {status('Z', "1000\t1000\t1000"), false},
        {status('X', "1000\t1000\t1000"), false},
        {status('S', "1001\t1001\t1001"), false},
        {status('S', "10000\t100\t10"), false},
        {"", false},
        {"State:\tS (sleeping)\nUid:\t1000", false},
        {"Uid:\t1000\t1000\t1000\t1000\n", false},
        {status('S', "1000\t1000\t1000").substr(0, 20), false},
    };
    for (const auto &[text, live] : threads)
        EXPECT_EQ(ProcessTable::liveThreadOf(text, 1000), live) << text;

    FakeProcesses processes;
    processes.table[1] = {status('S', "0\t0\t0")};
    processes.table[50] = {status('Z', "1000\t1000\t1000")};
    EXPECT_FALSE(processes.anyLiveThread(1000)) << "a zombie alone is not alive";
    // A process whose first thread has ended while another runs on.
    processes.table[60] = {status('Z', "1000\t1000\t1000"), status('S', "1000\t1000\t1000")};
    EXPECT_TRUE(processes.anyLiveThread(1000));
    EXPECT_FALSE(processes.anyLiveThread(1000, 60)) << "the process left out";
    EXPECT_FALSE(processes.anyLiveThread(1001));
}

TEST(XServerAccess, TheDisplaysCookieIsFoundInAnAuthorityFileAndNothingElse)
{
    const std::string cookie(16, '\x5a');
    const std::string other(16, '\x11');
    const std::string file = XServerAccess::authorityFor("host", "3", other) +
                             XServerAccess::authorityFor("host", "7", cookie);
    EXPECT_EQ(XServerAccess::cookieFromAuthority(file, "7"), cookie);
    EXPECT_EQ(XServerAccess::cookieFromAuthority(file, "3"), other);
    EXPECT_EQ(XServerAccess::cookieFromAuthority(file, "4"), "");
    // Cut anywhere, the file gives the cookies it still holds whole and nothing made up.
    for (size_t length = 0; length < file.size(); ++length) {
        const std::string found = XServerAccess::cookieFromAuthority(file.substr(0, length), "7");
        EXPECT_TRUE(found.empty()) << length;
    }
    // A cookie of another length is not one.
    EXPECT_EQ(XServerAccess::cookieFromAuthority(
                  XServerAccess::authorityFor("host", "7", std::string(15, 'a')), "7"),
              "");
}

} // namespace
