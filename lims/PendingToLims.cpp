#include "PendingToLims.h"

#include "LimsFrameReader.h"
#include "ResultsDelivery.h"
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
// Queued pairs looked at per tick for samples gone from both tables: a few milliseconds of the
// database's time, where one statement over a queue of 100,000 pairs held the loop 250-650 ms.
constexpr int OrphanSlice = 1000;

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
                                    sample.SamplePos,
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
        services.tasks.add(QStringLiteral("LimsForwarding"), TimerInterval::LimsForwarding,
                           [this] { tick(); });
        // The LIMS's answers, whoever else reads the line.
        m_input = QObject::connect(&m_limsLine, &Line::received, &m_limsLine,
                                   [this](const QString& text) { heard(text); });
    }
    ~LimsForwarding() override { QObject::disconnect(m_input); }

private:
    bool sendsResults() const
    {
        const QString& outType = m_settings.OutType;
        return outType == QLatin1String("invH902") || outType == QLatin1String("invH912") ||
               outType == QLatin1String("invH911");
    }

    void tick()
    {
        removeOrphans();
        if (!sendsResults())
            return;
        switch (m_delivery.state()) {
        case ResultsDelivery::State::Answered:
            delivered(); // clearing its rows failed before
            return;
        case ResultsDelivery::State::Awaiting:
            if (m_delivery.resendDue(m_clock.now())) {
                const bool silent = !m_delivery.repeatAsked();
                if (SendPendingToLims(m_delivery.sampleId()) && silent && !m_silenceReported) {
                    m_log.monitor(
                        QStringLiteral("sample %1: the LIMS has not answered its results within %2 s: "
                                       "they are sent again until it does")
                            .arg(m_delivery.sampleId())
                            .arg(ResultsDelivery::AnswerWaitSeconds));
                    m_silenceReported = true;
                }
            }
            return;
        case ResultsDelivery::State::Idle:
            break;
        }
        // The first finished sample (see PendingToLims.h): it has results, and none of its pairs is
        // still ordered. The pairs are compared column by column ("S1" and 12 is not "S11" and 2).
        // The queue is read in order and the first finished sample ends the search.
        SqlResult next = m_db.run(m_db.dialect().selectTop(
            1, QStringLiteral(
                   "rs.sample_id FROM req2send rs WHERE rs.sample_id <> '' AND rs.sample_id IS NOT NULL "
                   "AND CASE WHEN EXISTS (SELECT 1 FROM results v WHERE v.sample_id = rs.sample_id) "
                   "AND NOT EXISTS (SELECT 1 FROM req2send o INNER JOIN request r ON "
                   "r.sample_id = o.sample_id AND r.parameter_id = o.parameter_id "
                   "WHERE o.sample_id = rs.sample_id) THEN 1 ELSE 0 END = 1 ORDER BY rs.sample_id")));
        const QString sampleId = next.next() ? next.value(0).toString() : QString();
        next.finish();
        if (!sampleId.isEmpty())
            SendPendingToLims(sampleId);
    }

    // Pairs of samples that are gone from both tables. The forwarding never picks them (it takes
    // samples with results), so they may wait: each tick clears one slice of the queue, in sample
    // order from where the last slice ended, and after the last slice starts again at the front.
    // The tests of each pair are kept apart by the CASE, so that the database does not turn them
    // into joins that read all of results and request: the slice is short next to those tables.
    void removeOrphans()
    {
        SqlResult slice = m_db.run(
            QStringLiteral("SELECT MAX(sample_id) FROM (%1) s")
                .arg(m_db.dialect().selectTop(
                    OrphanSlice,
                    QStringLiteral("sample_id FROM req2send WHERE sample_id > ? ORDER BY sample_id"))),
            {BoundText(m_orphansAfter)});
        if (!slice.ok())
            return;
        const QVariant last = slice.next() ? slice.value(0) : QVariant();
        slice.finish();
        const bool front = m_orphansAfter.isEmpty();
        if (last.isNull() && !front) {
            m_orphansAfter.clear(); // past the end: the front next time
            return;
        }
        // The front slice also takes the pairs without a sample id.
        QString range = front ? QStringLiteral("(sample_id IS NULL OR sample_id <= ?)")
                              : QStringLiteral("sample_id > ? AND sample_id <= ?");
        QVariantList values = front ? QVariantList{} : QVariantList{m_orphansAfter};
        values << BoundText(last.toString());
        m_db.run(QStringLiteral("DELETE FROM req2send WHERE %1 AND CASE WHEN "
                                "EXISTS (SELECT 1 FROM results r WHERE r.sample_id = req2send.sample_id) "
                                "OR EXISTS (SELECT 1 FROM request q WHERE q.sample_id = req2send.sample_id) "
                                "THEN 0 ELSE 1 END = 1")
                     .arg(range),
                 values);
        m_orphansAfter = last.isNull() ? QString() : last.toString();
    }

    // True when the frame went out.
    bool SendPendingToLims(const QString& sampleId)
    {
        if (!m_limsLine.isOpen()) {
            reportOnce(QStringLiteral("the LIMS port is not open: finished samples wait until it is"));
            return false;
        }
        const HitachiFrameRecord frame = m_analyzer ? m_analyzer->frameRecord() : HitachiFrameRecord();
        const SampleRecord sample = m_analyzer ? m_analyzer->sampleRecord() : SampleRecord();
        QString text;
        QStringList notes;
        QVariantList parameters;
        DbOutcome built = PendingResultsFrame(m_db, frame, sample, sampleId, m_settings.OutId, m_clock.now(),
                                              &text, &notes);
        if (built.ok())
            built = queuedParameters(sampleId, &parameters);
        if (!built.ok()) {
            reportOnce(
                QStringLiteral("sample %1: results not sent to the LIMS: %2").arg(sampleId, built.error));
            return false;
        }
        m_lastReport.clear();
        if (text.isEmpty()) {
            done(); // its results are gone: nothing to send
            return false;
        }
        for (const QString& note : std::as_const(notes))
            m_log.monitor(QStringLiteral("sample %1: %2").arg(sampleId, note));
        m_limsLine.send(text, Direction::HostToLims);
        m_delivery.sent(sampleId, parameters, m_clock.now());
        return true;
    }

    DbOutcome queuedParameters(const QString& sampleId, QVariantList* parameters)
    {
        SqlResult rows = m_db.run(
            QStringLiteral("SELECT DISTINCT parameter_id FROM req2send WHERE sample_id = ?"), {sampleId});
        if (!rows.ok())
            return DbOutcome::of(m_db, rows);
        while (rows.next())
            parameters->append(rows.value(0));
        return DbOutcome::done();
    }

    void heard(const QString& text)
    {
        for (const QString& frame : m_answers.append(text).frames) {
            if (frame.size() > 1 && m_delivery.answer(frame.at(1)) == ResultsDelivery::Answer::Taken)
                delivered();
        }
    }

    // The LIMS has the frame: the pairs it carried leave req2send (a result that arrived since
    // waits for the next frame).
    void delivered()
    {
        const QString sampleId = m_delivery.sampleId();
        for (const QVariant& parameter : m_delivery.parameters()) {
            SqlResult done =
                parameter.isNull()
                    ? m_db.run(
                          QStringLiteral("DELETE FROM req2send WHERE sample_id = ? AND parameter_id IS NULL"),
                          {sampleId})
                    : m_db.run(
                          QStringLiteral("DELETE FROM req2send WHERE sample_id = ? AND parameter_id = ?"),
                          {sampleId, parameter});
            if (!done.ok()) {
                reportOnce(
                    QStringLiteral("sample %1: the LIMS has its results, but its req2send rows could not be "
                                   "cleared (%2): tried again on the next tick")
                        .arg(sampleId, done.error()));
                return;
            }
        }
        m_lastReport.clear();
        if (m_silenceReported)
            m_log.monitor(QStringLiteral("sample %1: the LIMS answered its results, sent %2 times")
                              .arg(sampleId)
                              .arg(m_delivery.sends()));
        done();
    }

    void done()
    {
        m_delivery.done();
        m_silenceReported = false;
    }

    // A problem that lasts is named once, not on every tick.
    void reportOnce(const QString& text)
    {
        if (text != m_lastReport)
            m_log.monitor(text);
        m_lastReport = text;
    }

    const Settings& m_settings;
    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    Line& m_limsLine;
    const HitachiDriver* m_analyzer;
    ResultsDelivery m_delivery;
    LimsFrameReader m_answers;
    QMetaObject::Connection m_input;
    QString m_lastReport;
    bool m_silenceReported = false;
    QString m_orphansAfter; // where the next slice of the queue starts
};

} // namespace

void RegisterLimsForwarding(DriverRegistry& registry)
{
    registry.addWork(
        QStringLiteral("LimsForwarding"), [](const Settings& s) { return s.hasLimsSide(); },
        [](const DriverServices& services) { return std::make_unique<LimsForwarding>(services); });
}

} // namespace Quorlix
