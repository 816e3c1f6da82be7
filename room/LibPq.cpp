#include "LibPq.h"

#include <QMutex>
#include <QMutexLocker>
#include <dlfcn.h>
#include <map>
#include <string>

namespace {

template<typename Function>
bool resolve(void *handle, const char *symbol, Function &function, QString *error)
{
    function = reinterpret_cast<Function>(::dlsym(handle, symbol));
    if (!function && error)
        *error = QStringLiteral("%2 has no function %1").arg(QString::fromLatin1(symbol));
    return function != nullptr;
}

} // namespace

const LibPq *LibPq::load(QString *error, const char *name)
{
    static QMutex mutex;
    // One loaded library per name; never unloaded, since connections may outlive any owner.
    static std::map<std::string, LibPq> loaded;
    const QMutexLocker lock(&mutex);
    if (const auto it = loaded.find(name); it != loaded.end())
        return &it->second;

    void *handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error)
            *error = QStringLiteral("libpq cannot be loaded (%1); is the package libpq5 "
                                    "installed?")
                         .arg(QString::fromLocal8Bit(::dlerror()));
        return nullptr;
    }
    LibPq pq;
    QString missing;
    const bool complete =
        resolve(handle, "PQconnectdb", pq.connectdb, &missing) &&
        resolve(handle, "PQconnectStart", pq.connectStart, &missing) &&
        resolve(handle, "PQconnectPoll", pq.connectPoll, &missing) &&
        resolve(handle, "PQsocket", pq.socket, &missing) &&
        resolve(handle, "PQconninfo", pq.conninfo, &missing) &&
        resolve(handle, "PQconninfoFree", pq.conninfoFree, &missing) &&
        resolve(handle, "PQstatus", pq.status, &missing) &&
        resolve(handle, "PQerrorMessage", pq.errorMessage, &missing) &&
        resolve(handle, "PQfinish", pq.finish, &missing) &&
        resolve(handle, "PQsetNoticeProcessor", pq.setNoticeProcessor, &missing) &&
        resolve(handle, "PQexec", pq.exec, &missing) &&
        resolve(handle, "PQexecParams", pq.execParams, &missing) &&
        resolve(handle, "PQresultStatus", pq.resultStatus, &missing) &&
        resolve(handle, "PQresultErrorMessage", pq.resultErrorMessage, &missing) &&
        resolve(handle, "PQresultErrorField", pq.resultErrorField, &missing) &&
        resolve(handle, "PQclear", pq.clear, &missing) &&
        resolve(handle, "PQntuples", pq.ntuples, &missing) &&
        resolve(handle, "PQgetvalue", pq.getvalue, &missing) &&
        resolve(handle, "PQgetlength", pq.getlength, &missing) &&
        resolve(handle, "PQcmdTuples", pq.cmdTuples, &missing);
    if (!complete) {
        ::dlclose(handle);
        if (error)
            *error = missing.arg(QString::fromLocal8Bit(name));
        return nullptr;
    }
    return &loaded.emplace(name, pq).first->second;
}
