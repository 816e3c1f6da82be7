#include "StoredAccounts.h"

void StoredAccounts::storeAccount(int slot, const QString &user, const QString &password, int mins,
                                  const QString &date, int left)
{
    store.set(AccountTable::key("user", slot), user);
    store.set(AccountTable::key("pswd", slot), password);
    store.set(AccountTable::key("mins", slot), QString::number(mins));
    store.set(AccountTable::key("date", slot), date);
    store.set(AccountTable::key("left", slot), QString::number(left));
}
