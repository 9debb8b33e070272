#include "PendingToLims.h"

#include "comm/Line.h"
#include "comm/PeriodicTasks.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "drivers/DriverRegistry.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "store/DbOutcome.h"
#include "store/LimsFrames.h"
#include "store/StoreValues.h"

namespace Quorlix {

QList<std::pair<QString, QString>> LimsResultGroups(const QList<StoredResult>& results)
{
    QList<std::pair<QString, QString>> groups;
    for (const StoredResult& r : results) {
        const QString channel = QString::number(r.channel);
        if (r.channel == 1 || r.channel == 24) {
            groups.append({channel, QString(r.result).replace(QLatin1Char(','), QLatin1Char('.'))});
        } else if (r.channel == 9) {
            groups.append({channel, r.suspicious});
            groups.append({QStringLiteral("10"), r.result});
        } else {
            groups.append({channel, r.suspicious});
        }
    }
    return groups;
}

DbOutcome PendingResultsFrame(Database& db, const HitachiFrameRecord& frame, const SampleRecord& sample,
                              const QString& sampleId, const QString& outId, const QDateTime& now,
                              QString* out)
{
    out->clear();
    SqlResult counted = db.run(QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN parameter_id = 8 THEN 1 ELSE 0 "
                                              "END) FROM results WHERE sample_id = ?"),
                               {sampleId});
    if (!counted.next())
        return counted.ok() ? DbOutcome::databaseFailed(QStringLiteral("no count of results"))
                            : DbOutcome::of(db, counted);
    const int n = counted.value(0).toInt() + counted.value(1).toInt();
    counted.query().finish();
    if (n == 0)
        return DbOutcome::done();

    SqlResult rows =
        db.run(QStringLiteral("SELECT %1, r.result, p2c.channel_id FROM results r "
                              "INNER JOIN param2channel p2c ON r.parameter_id = p2c.parameter_id "
                              "WHERE r.sample_id = ? AND p2c.analyzer_id = ? ORDER BY p2c.channel_id")
                   .arg(db.dialect().castText(QStringLiteral("r.suspicious"))),
               {sampleId, outId});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    QList<StoredResult> stored;
    while (rows.next())
        stored.append({rows.value(2).toInt(), NullToText(rows.value(0)), NumberText(rows.value(1))});
    rows.query().finish();

    QList<ChannelResult> groups;
    for (const auto& [channel, value] : LimsResultGroups(stored))
        groups.append({channel, value});
    const ControlFrameHeader header{frame.CurFunction,
                                    frame.CurFrameClass,
                                    frame.CurNumber,
                                    sample.CurSamplePos,
                                    frame.CurInfo1,
                                    frame.CurInfo2,
                                    now};
    *out = ControlResultsFrame(header, sampleId, n, groups);
    return DbOutcome::done();
}

namespace {

class LimsForwarding final : public BackgroundWork
{
public:
    explicit LimsForwarding(const DriverServices& services)
        : m_settings(services.settings), m_db(services.db), m_log(services.log), m_clock(services.clock),
          m_limsLine(services.limsLine),
          m_analyzer(dynamic_cast<const HitachiDriver*>(services.analyzerHandler))
    {
        services.tasks.add(QStringLiteral("Timer3"), TimerInterval::Timer3, [this] { tick(); });
    }

private:
    void tick()
    {
        m_db.run(QStringLiteral("DELETE FROM req2send WHERE sample_id NOT IN (SELECT sample_id FROM results) "
                                "AND sample_id NOT IN (SELECT sample_id FROM request)"));
        // Samples whose requested parameters are all finished: none of their pairs is still ordered.
        SqlResult next = m_db.run(QStringLiteral(
            "SELECT DISTINCT sample_id FROM req2send rs WHERE NOT EXISTS (SELECT 1 FROM request r "
            "WHERE r.sample_id = rs.sample_id AND r.parameter_id = rs.parameter_id) "
            "AND rs.parameter_id IS NOT NULL AND sample_id <> '' AND sample_id IS NOT NULL ORDER BY "
            "sample_id"));
        if (!next.next())
            return;
        const QString sampleId = next.value(0).toString();
        next.query().finish();
        const QString& outType = m_settings.OutType;
        if (outType == QLatin1String("invH902") || outType == QLatin1String("invH912") ||
            outType == QLatin1String("invH911"))
            SendPendingToLims(sampleId);
    }

    void SendPendingToLims(const QString& sampleId)
    {
        const HitachiFrameRecord frame = m_analyzer ? m_analyzer->frameRecord() : HitachiFrameRecord();
        const SampleRecord sample = m_analyzer ? m_analyzer->sampleRecord() : SampleRecord();
        QString text;
        const DbOutcome built =
            PendingResultsFrame(m_db, frame, sample, sampleId, m_settings.OutId, m_clock.now(), &text);
        if (!built.ok()) {
            m_log.monitor(
                QStringLiteral("sample %1: results not sent to the LIMS: %2").arg(sampleId, built.error));
            return;
        }
        if (text.isEmpty())
            return; // no results: the req2send rows stay
        if (!m_limsLine.isOpen()) {
            if (!m_reportedDown)
                m_log.monitor(QStringLiteral("the LIMS port is not open: finished samples wait until it is"));
            m_reportedDown = true;
            return;
        }
        m_reportedDown = false;
        m_limsLine.send(text, Direction::HostToLims);
        m_db.run(QStringLiteral("DELETE FROM req2send WHERE sample_id = ?"), {sampleId});
    }

    const Settings& m_settings;
    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    Line& m_limsLine;
    const HitachiDriver* m_analyzer;
    bool m_reportedDown = false;
};

} // namespace

void RegisterLimsForwarding(DriverRegistry& registry)
{
    registry.addWork(
        QStringLiteral("LimsForwarding"), [](const Settings& s) { return s.hasLimsSide(); },
        [](const DriverServices& services) { return std::make_unique<LimsForwarding>(services); });
}

} // namespace Quorlix
