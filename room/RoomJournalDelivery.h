#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class PostgresAccountStore;
class QSocketNotifier;

// Stores a room's journal (the session ends the server could not take) as soon as the server
// answers again, while the program waits for a logon: the connection is made step by step on the
// event loop, so that the window never waits for the server, and the journal is delivered once it
// is made; while entries wait, it is tried again every retry interval. Its first try also makes
// the connection that the first logon uses.
//
// A failure is written once on standard error, and again only when the reason changes.
class RoomJournalDelivery : public QObject
{
public:
    static constexpr int RetryMs = 5000;

    explicit RoomJournalDelivery(PostgresAccountStore &store, int retryMs = RetryMs,
                                 QObject *parent = nullptr);
    ~RoomJournalDelivery() override;

    // The first try, now.
    void start();
    // How many session ends were stored so far.
    int delivered() const { return m_delivered; }

private:
    void attempt();
    void step();
    void connected();
    void failed(const QString &why);

    PostgresAccountStore &m_store;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_retry;
    QTimer m_giveUp;
    QString m_reported;
    int m_delivered = 0;
};
