#pragma once

#include "MemorySettingsStore.h"
#include "core/rules/AccountTable.h"
#include "core/rules/FileAccountStore.h"

#include <gtest/gtest.h>

// The accounts as the program keeps them in its settings file, held in memory: the file's keys
// and the account store over them.
struct StoredAccounts
{
    // Puts an account into the given slot of the store (not the table).
    void storeAccount(int slot, const QString &user, const QString &password, int mins,
                      const QString &date, int left);

    MemorySettingsStore store;
    FileAccountStore fileStore{store};
};

// A fresh account table over stored accounts around each test, with no window.
class AccountsTest : public ::testing::Test, public StoredAccounts
{
protected:
    void SetUp() override { accountTable.setStore(&fileStore); }
    void TearDown() override
    {
        accountTable.reset();
        accountTable.setStore(nullptr);
    }

    AccountTable accountTable;
};
