#include "RoomJournalDelivery.h"

#include "PostgresAccountStore.h"
#include "core/rules/AppError.h"

#include <QSocketNotifier>
#include <cstdio>

RoomJournalDelivery::RoomJournalDelivery(PostgresAccountStore &store, int retryMs, QObject *parent)
    : QObject(parent), m_store(store)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &RoomJournalDelivery::attempt);
    // The store gives the connection up once its time is over; this looks at it then.
    m_giveUp.setSingleShot(true);
    connect(&m_giveUp, &QTimer::timeout, this, &RoomJournalDelivery::step);
}

RoomJournalDelivery::~RoomJournalDelivery() = default;

void RoomJournalDelivery::start()
{
    attempt();
}

void RoomJournalDelivery::attempt()
{
    // An unsafe service file is reported by the store itself, once.
    if (!m_store.refusal().isEmpty()) {
        if (!m_store.journal().isEmpty())
            m_retry.start();
        return;
    }
    step();
}

void RoomJournalDelivery::step()
{
    m_notifier.reset();
    m_giveUp.stop();
    QString why;
    switch (m_store.connectStep(&why)) {
    case PostgresAccountStore::Step::Connected:
        connected();
        return;
    case PostgresAccountStore::Step::Failed:
        failed(why);
        return;
    case PostgresAccountStore::Step::Reading:
        m_notifier =
            std::make_unique<QSocketNotifier>(m_store.connectingSocket(), QSocketNotifier::Read);
        break;
    case PostgresAccountStore::Step::Writing:
        m_notifier =
            std::make_unique<QSocketNotifier>(m_store.connectingSocket(), QSocketNotifier::Write);
        break;
    }
    // Taken off before the next step: libpq may close the socket and open another one.
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        m_notifier->setEnabled(false);
        QTimer::singleShot(0, this, &RoomJournalDelivery::step);
    });
    m_giveUp.start(m_store.connectingMsLeft() + 1);
}

void RoomJournalDelivery::connected()
{
    try {
        m_delivered += m_store.deliverJournal();
        m_reported.clear();
    } catch (const AppError &error) {
        // The store has said why on standard error.
        m_reported = error.description();
    }
    if (!m_store.journal().isEmpty())
        m_retry.start();
}

void RoomJournalDelivery::failed(const QString &why)
{
    const bool waiting = !m_store.journal().isEmpty();
    if (why != m_reported) {
        m_reported = why;
        std::fprintf(stderr, "TimoraDesk: the account server, connecting: %s%s\n", qPrintable(why),
                     waiting ? "; the minutes left kept here are stored as soon as it answers"
                             : "");
        std::fflush(stderr);
    }
    if (waiting)
        m_retry.start();
}
