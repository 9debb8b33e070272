#include "StatusRow.h"

#include "comm/LinkState.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/InstanceStats.h"
#include "core/Stamps.h"
#include "store/Spool.h"

#include <QStringList>
#include <QVariantList>

namespace Quorlix {

namespace {

// The text columns hold 255 characters; a longer frame or error is cut there (never inside a
// surrogate pair).
constexpr int TextColumnLength = 255;

QVariant Text(const QString& text)
{
    if (text.isNull())
        return Database::null();
    QString cut = text.left(TextColumnLength);
    if (cut.size() == TextColumnLength && cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

QString LinkText(bool exists, bool online)
{
    if (!exists)
        return QStringLiteral("none");
    return online ? QStringLiteral("online") : QStringLiteral("offline");
}

const QStringList Columns{
    QStringLiteral("analyzer_type"), QStringLiteral("host_name"),        QStringLiteral("process_id"),
    QStringLiteral("version"),       QStringLiteral("started_at"),       QStringLiteral("last_heartbeat"),
    QStringLiteral("stopped_at"),    QStringLiteral("analyzer_link"),    QStringLiteral("lims_link"),
    QStringLiteral("last_received"), QStringLiteral("last_received_at"), QStringLiteral("last_sent"),
    QStringLiteral("last_sent_at"),  QStringLiteral("spool_waiting"),    QStringLiteral("quarantined"),
    QStringLiteral("last_error"),    QStringLiteral("last_error_at"),
};

QString UpdateStatement()
{
    return QStringLiteral("UPDATE analyzer_status SET %1 = ? WHERE analyzer_id = ?")
        .arg(Columns.join(QStringLiteral(" = ?, ")));
}

QString InsertStatement()
{
    return QStringLiteral("INSERT INTO analyzer_status (%1, analyzer_id) VALUES (%2?)")
        .arg(Columns.join(QStringLiteral(", ")), QStringLiteral("?, ").repeated(Columns.size()));
}

} // namespace

StatusRow::StatusRow(Database& db, CommLog& log, const Clock& clock, const LinkState& link,
                     InstanceStats& stats)
    : m_db(db), m_log(log), m_clock(clock), m_link(link), m_stats(stats)
{
}

void StatusRow::start(const StatusIdentity& identity, const Spool* spool)
{
    m_identity = identity;
    m_spool = spool;
    m_startedAt = m_clock.now();
    m_active = true;
    write();
}

void StatusRow::write()
{
    if (!m_active)
        return;
    const QDateTime now = m_clock.now();
    if (m_nextAttempt.isValid() && now < m_nextAttempt)
        return;
    if (m_connectionLost && !m_db.reconnect()) {
        failed(now, QStringLiteral("the database cannot be reached"));
        return;
    }
    m_connectionLost = false;
    upsert(now, QDateTime());
}

void StatusRow::stop()
{
    if (!m_active)
        return;
    m_active = false;
    // No reconnect on the way out: a server that went away would only hold up the stop.
    if (!m_connectionLost)
        upsert(m_clock.now(), m_clock.now());
}

bool StatusRow::upsert(const QDateTime& now, const QDateTime& stoppedAt)
{
    const auto stamp = [this](const QDateTime& moment) {
        return moment.isValid() ? m_db.stamp(SqlStamp(moment)) : Database::null();
    };
    const LineTraffic& traffic = m_stats.analyzer;
    QVariantList values{
        m_identity.analyzerType,
        Text(m_identity.hostName),
        m_identity.processId,
        m_identity.version,
        stamp(m_startedAt),
        stamp(now),
        stamp(stoppedAt),
        LinkText(m_identity.hasAnalyzerLink, m_link.analyzerOnline),
        LinkText(m_identity.hasLimsLink, m_link.limsOnline),
        Text(traffic.lastReceived),
        stamp(traffic.lastReceivedAt),
        Text(traffic.lastSent),
        stamp(traffic.lastSentAt),
        m_spool ? m_spool->pendingCount() : 0,
        m_spool ? m_spool->quarantinedCount() : 0,
        Text(m_stats.lastError),
        stamp(m_stats.lastErrorAt),
        m_identity.analyzerId,
    };
    // Two instances never share an analyzer id: no one else writes this row between the two.
    SqlResult result = m_db.run(UpdateStatement(), values);
    const bool inserted = result.ok() && result.rowsAffected() == 0;
    if (inserted) {
        result.finish();
        result = m_db.run(InsertStatement(), values);
    }
    if (!result.ok()) {
        m_connectionLost = result.connectionLost() || !m_db.isOpen();
        failed(now, result.error());
        return false;
    }
    m_stats.lastHeartbeat = now;
    m_failures = 0;
    m_nextAttempt = QDateTime();
    if (m_failing) {
        m_failing = false;
        m_log.monitor(QStringLiteral("status row: written again"));
    }
    return true;
}

void StatusRow::failed(const QDateTime& now, const QString& error)
{
    ++m_failures;
    m_nextAttempt = now.addSecs(qMin(MaxRetryDelaySeconds, 3 << qMin(m_failures - 1, 5)));
    if (m_failing)
        return;
    m_failing = true;
    m_log.monitor(QStringLiteral("status row: not written (%1); the heartbeat goes on without it")
                      .arg(error.section(QLatin1Char('\n'), 0, 0)));
}

} // namespace Quorlix
