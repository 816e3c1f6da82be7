#pragma once

#include <QString>
#include <libpq-fe.h>

// libpq, loaded with dlopen at its first use instead of linked. It brings some twenty-five
// libraries of its own (TLS, Kerberos, LDAP, SASL); a computer that is not in a room never loads
// any of them, so its start-up costs what it did before rooms existed.
//
// The header gives the types and constants; the functions are reached through the members.
class LibPq
{
public:
    static inline const char *const DefaultName = "libpq.so.5";

    // The library, loaded once for the whole process; null, with the reason in *error, when it
    // or one of its functions cannot be found. A failed load is tried again at the next call,
    // so that a package installed meanwhile is found.
    static const LibPq *load(QString *error, const char *name = DefaultName);

    decltype(&::PQconnectdb) connectdb = nullptr;
    decltype(&::PQconnectStart) connectStart = nullptr;
    decltype(&::PQconnectPoll) connectPoll = nullptr;
    decltype(&::PQsocket) socket = nullptr;
    decltype(&::PQconninfo) conninfo = nullptr;
    decltype(&::PQconninfoFree) conninfoFree = nullptr;
    decltype(&::PQstatus) status = nullptr;
    decltype(&::PQerrorMessage) errorMessage = nullptr;
    decltype(&::PQfinish) finish = nullptr;
    decltype(&::PQsetNoticeProcessor) setNoticeProcessor = nullptr;
    decltype(&::PQexec) exec = nullptr;
    decltype(&::PQexecParams) execParams = nullptr;
    decltype(&::PQresultStatus) resultStatus = nullptr;
    decltype(&::PQresultErrorMessage) resultErrorMessage = nullptr;
    decltype(&::PQresultErrorField) resultErrorField = nullptr;
    decltype(&::PQclear) clear = nullptr;
    decltype(&::PQntuples) ntuples = nullptr;
    decltype(&::PQgetvalue) getvalue = nullptr;
    decltype(&::PQgetlength) getlength = nullptr;
    decltype(&::PQcmdTuples) cmdTuples = nullptr;

private:
    LibPq() = default;
};
