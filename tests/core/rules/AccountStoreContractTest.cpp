// The account store's contract run against the store in memory and the settings file's store.
#include "tests/core/rules/AccountStoreContract.h"
#include "core/rules/FileAccountStore.h"
#include "tests/support/MemoryAccountStore.h"
#include "tests/support/MemorySettingsStore.h"

#include <memory>

namespace {

class MemoryBackend : public ::testing::Test
{
protected:
    AccountStore &store() { return *m_store; }
    void put(const QList<AccountSlot> &accounts)
    {
        m_store = accounts.isEmpty() ? std::make_unique<MemoryAccountStore>()
                                     : std::make_unique<MemoryAccountStore>(accounts);
    }
    QList<AccountSlot> stored() { return m_store->load().accounts; }
    void changeElsewhere(const QList<AccountSlot> &accounts) { m_store->changeElsewhere(accounts); }
    void failWrites(bool fail) { m_store->failWrites = fail; }

private:
    std::unique_ptr<MemoryAccountStore> m_store = std::make_unique<MemoryAccountStore>();
};

// A settings store whose writes fail while told to, as on a full disk.
class FailingSettingsStore : public MemorySettingsStore
{
public:
    void replaceSection(const QString &section, const KeyValues &values) override
    {
        if (failing)
            throw AppError(AppError::PathFileAccessError, QStringLiteral("disk full"));
        MemorySettingsStore::replaceSection(section, values);
    }
    bool failing = false;
};

class FileBackend : public ::testing::Test
{
protected:
    AccountStore &store() { return *m_store; }
    void put(const QList<AccountSlot> &accounts)
    {
        m_settings = std::make_unique<FailingSettingsStore>();
        for (const auto &[key, text] : FileAccountStore::section(accounts))
            m_settings->set(key, text);
        m_store = std::make_unique<FileAccountStore>(*m_settings);
    }
    // What the program finds in the file when it starts again.
    QList<AccountSlot> stored() { return FileAccountStore::readSection(*m_settings); }
    // The local file has no other writer than this program: another table of it, on the same
    // store, saves first.
    void changeElsewhere(const QList<AccountSlot> &accounts)
    {
        ASSERT_TRUE(m_store->replaceIfUnchanged(accounts, m_store->load().version));
    }
    void failWrites(bool fail) { m_settings->failing = fail; }

private:
    std::unique_ptr<FailingSettingsStore> m_settings = std::make_unique<FailingSettingsStore>();
    std::unique_ptr<FileAccountStore> m_store = std::make_unique<FileAccountStore>(*m_settings);
};

struct BackendNames
{
    template<class T> static std::string GetName(int)
    {
        return std::is_same_v<T, MemoryBackend> ? "Memory" : "File";
    }
};

using LocalBackends = ::testing::Types<MemoryBackend, FileBackend>;
INSTANTIATE_TYPED_TEST_SUITE_P(Local, AccountStoreContract, LocalBackends, BackendNames);

} // namespace
