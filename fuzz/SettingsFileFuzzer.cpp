// Reads arbitrary bytes as the settings file and checks what LoadAccounts makes of them:
// between one and ten accounts, the first-run administrator exactly when there is no "user1",
// no account with an empty user id, slots above the count left empty, and no negative minutes
// (unlimited time is -1) unless the file itself holds that negative whole number. Whatever was
// loaded must then survive a save and a load unchanged.
#include "core/rules/AccountSlot.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/FileAccountStore.h"
#include "core/settings/IniSettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir *folder = nullptr;
int inputNumber = 0;

[[noreturn]] void fail(const char *what, int slot = 0)
{
    std::fprintf(stderr, "invariant broken: %s (slot %d)\n", what, slot);
    std::abort();
}

void check(bool holds, const char *what, int slot = 0)
{
    if (!holds)
        fail(what, slot);
}

// A negative number of minutes may only come from text that is that very whole number.
void checkMinutes(qint32 value, const QString &stored, int slot)
{
    if (value >= 0)
        return;
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = stored.trimmed();
    check(wholeNumber.match(text).hasMatch(), "negative minutes from text that is no number", slot);
    bool ok = false;
    check(text.toLongLong(&ok) == value && ok, "negative minutes differ from the text", slot);
}

void checkTable(const AccountTable &table, const SettingsStore &store)
{
    const QString section = AccountTable::Section;
    check(table.count() >= 1 && table.count() <= AccountTable::MaxAccounts,
          "account count outside 1..10");
    if (store.value(section, AccountTable::key("user", 1)).isEmpty()) {
        const AccountSlot firstRun{AccountTable::AdminId, AccountTable::FirstRunPassword, -1,
                                   AccountTable::FirstRunDate, -1};
        check(table.count() == 1, "first run with more than one account");
        check(table.account(1) == firstRun, "first run without the default administrator");
    } else {
        for (int n = 1; n <= table.count(); ++n) {
            const AccountSlot &slot = table.account(n);
            check(!slot.userId.isEmpty(), "an account without a user id", n);
            check(slot.userId == store.value(section, AccountTable::key("user", n)),
                  "user id differs from the file", n);
            checkMinutes(slot.minsPerDay, store.value(section, AccountTable::key("mins", n)), n);
            checkMinutes(slot.minsLeft, store.value(section, AccountTable::key("left", n)), n);
        }
    }
    for (int n = table.count() + 1; n <= AccountTable::MaxAccounts; ++n)
        check(table.account(n) == AccountSlot{}, "a slot above the count was filled", n);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    // Saves go to memory when it can (no disk flushes); each input gets files of its own, so
    // that no parsed copy of an earlier input is ever reused.
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    folder = new QTemporaryDir(base + QStringLiteral("/timora-fuzz-XXXXXX"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ++inputNumber;
    const QString path = folder->path() + QStringLiteral("/in%1.ini").arg(inputNumber);
    const QString copy = folder->path() + QStringLiteral("/out%1/TimoraV2.ini").arg(inputNumber);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
        // Private, as the program keeps it: a file others may write is refused whatever it holds.
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    IniSettingsStore store(path);
    FileAccountStore file(store);
    AccountTable table;
    table.setStore(&file);
    table.LoadAccounts();
    checkTable(table, store);

    // Every text that was loaded must come back unchanged after a save.
    IniSettingsStore saved(copy);
    FileAccountStore savedAccounts(saved);
    table.setStore(&savedAccounts);
    const auto loaded = table.accounts();
    const int count = table.count();
    try {
        table.SaveAccounts();
    } catch (const AppError &error) {
        std::fprintf(stderr, "save failed: %s\n", error.what());
        std::abort();
    }
    table.reset();
    table.LoadAccounts();
    check(table.count() == count, "the account count changed through a save");
    for (int n = 1; n <= count; ++n)
        check(table.account(n) == loaded.at(n - 1), "an account changed through a save", n);

    table.setStore(nullptr);
    QFile::remove(path);
    QDir(QFileInfo(copy).absolutePath()).removeRecursively();
    return 0;
}
