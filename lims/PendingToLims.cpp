#include "PendingToLims.h"

#include "comm/Line.h"
#include "comm/PeriodicTasks.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "drivers/DriverRegistry.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "store/DbOutcome.h"
#include "store/StoreValues.h"

#include <optional>

namespace Quorlix {

namespace {

constexpr int ValueWidth = 6;

} // namespace

QList<ChannelResult> LimsResultGroups(const QList<StoredResult>& results, QStringList* notes)
{
    QList<ChannelResult> groups;
    const auto add = [&](const QString& channel, const QString& value) {
        const std::optional<QString> fitted = FittedNumber(value, ValueWidth);
        if (!fitted)
            notes->append(QStringLiteral("channel %1: value \"%2\" does not fit the 6 characters of the LIMS "
                                         "frame: sent without value")
                              .arg(channel, value));
        groups.append({channel, fitted.value_or(QString())});
    };
    for (const StoredResult& r : results) {
        const QString channel = QString::number(r.channel);
        if (r.channel == 1 || r.channel == 24) {
            add(channel, QString(r.result).replace(QLatin1Char(','), QLatin1Char('.')));
        } else if (r.channel == 9) {
            add(channel, r.suspicious);
            add(QStringLiteral("10"), r.result);
        } else {
            add(channel, r.suspicious);
        }
    }
    return groups;
}

DbOutcome PendingResultsFrame(Database& db, const HitachiFrameRecord& frame, const SampleRecord& sample,
                              const QString& sampleId, const QString& outId, const QDateTime& now,
                              QString* out, QStringList* notes)
{
    out->clear();
    SqlResult counted = db.run(QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN parameter_id = 8 THEN 1 ELSE 0 "
                                              "END) FROM results WHERE sample_id = ?"),
                               {sampleId});
    if (!counted.next())
        return counted.ok() ? DbOutcome::databaseFailed(QStringLiteral("no count of results"))
                            : DbOutcome::of(db, counted);
    const int n = counted.value(0).toInt() + counted.value(1).toInt();
    counted.finish();
    if (n == 0)
        return DbOutcome::done();

    SqlResult rows =
        db.run(QStringLiteral("SELECT %1, r.result, p2c.channel_id FROM results r "
                              "INNER JOIN param2channel p2c ON r.parameter_id = p2c.parameter_id "
                              "WHERE r.sample_id = ? AND p2c.analyzer_id = ? ORDER BY p2c.channel_id")
                   .arg(db.dialect().castText(QStringLiteral("r.suspicious"))),
               {sampleId, BoundText(outId)});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    QList<StoredResult> stored;
    while (rows.next())
        stored.append({rows.value(2).toInt(), NullToText(rows.value(0)), NumberText(rows.value(1))});
    rows.finish();

    // Always a results frame: the analyzer's last frame may have been the inquiry of the next tube.
    const ControlFrameHeader header{QStringLiteral(":"),
                                    frame.CurFrameClass,
                                    frame.CurNumber,
                                    sample.CurSamplePos,
                                    frame.CurInfo1,
                                    frame.CurInfo2,
                                    now};
    *out = ControlResultsFrame(header, sampleId, n, LimsResultGroups(stored, notes));
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
    enum class Sent
    {
        Sent,
        NothingToSend,
        Waiting // the LIMS line is down or the database failed: the sample stays queued
    };

    void tick()
    {
        m_db.run(QStringLiteral(
            "DELETE FROM req2send WHERE "
            "NOT EXISTS (SELECT 1 FROM results r WHERE r.sample_id = req2send.sample_id) "
            "AND NOT EXISTS (SELECT 1 FROM request q WHERE q.sample_id = req2send.sample_id)"));
        const QString& outType = m_settings.OutType;
        if (outType != QLatin1String("invH902") && outType != QLatin1String("invH912") &&
            outType != QLatin1String("invH911"))
            return;
        // Samples whose requested parameters are all finished: none of their pairs is still ordered.
        // The pairs are compared column by column ("S1" and 12 is not "S11" and 2).
        SqlResult next = m_db.run(QStringLiteral(
            "SELECT DISTINCT sample_id FROM req2send rs WHERE NOT EXISTS (SELECT 1 FROM request r "
            "WHERE r.sample_id = rs.sample_id AND r.parameter_id = rs.parameter_id) "
            "AND rs.parameter_id IS NOT NULL AND sample_id <> '' AND sample_id IS NOT NULL ORDER BY "
            "sample_id"));
        QStringList finished;
        while (finished.size() < MaxCandidates && next.next())
            finished << next.value(0).toString();
        next.finish();
        for (const QString& sampleId : std::as_const(finished)) {
            if (SendPendingToLims(sampleId) != Sent::NothingToSend)
                return;
        }
    }

    Sent SendPendingToLims(const QString& sampleId)
    {
        if (!m_limsLine.isOpen()) {
            if (!m_reportedDown)
                m_log.monitor(QStringLiteral("the LIMS port is not open: finished samples wait until it is"));
            m_reportedDown = true;
            return Sent::Waiting;
        }
        m_reportedDown = false;
        const HitachiFrameRecord frame = m_analyzer ? m_analyzer->frameRecord() : HitachiFrameRecord();
        const SampleRecord sample = m_analyzer ? m_analyzer->sampleRecord() : SampleRecord();
        QString text;
        QStringList notes;
        const DbOutcome built = PendingResultsFrame(m_db, frame, sample, sampleId, m_settings.OutId,
                                                    m_clock.now(), &text, &notes);
        if (!built.ok()) {
            m_log.monitor(
                QStringLiteral("sample %1: results not sent to the LIMS: %2").arg(sampleId, built.error));
            return Sent::Waiting;
        }
        if (text.isEmpty())
            return Sent::NothingToSend; // no results: the req2send rows stay
        for (const QString& note : std::as_const(notes))
            m_log.monitor(QStringLiteral("sample %1: %2").arg(sampleId, note));
        m_limsLine.send(text, Direction::HostToLims);
        SqlResult done = m_db.run(QStringLiteral("DELETE FROM req2send WHERE sample_id = ?"), {sampleId});
        if (!done.ok())
            m_log.monitor(QStringLiteral("sample %1: sent to the LIMS, but its req2send rows could not be "
                                         "cleared (%2): it will be sent again")
                              .arg(sampleId, done.error()));
        return Sent::Sent;
    }

    // Finished samples looked at per tick; one of them is sent.
    static constexpr qsizetype MaxCandidates = 100;

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
