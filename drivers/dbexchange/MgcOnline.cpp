#include "MgcOnline.h"

#include "MgcOnlineFrames.h"
#include "comm/Line.h"
#include "comm/PeriodicTasks.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "store/Autovalidation.h"
#include "store/DbOutcome.h"
#include "store/Spool.h"
#include "store/Store.h"
#include "store/StoreValues.h"
#include "store/Transaction.h"

#include <QLocale>
#include <QPair>
#include <QSet>

#include <utility>

namespace Quorlix {

MgcOnlineExchange::MgcOnlineExchange(const DriverServices& services)
    : m_settings(services.settings), m_db(services.db), m_log(services.log), m_clock(services.clock),
      m_store(services.store), m_lims(services.limsLine)
{
    services.tasks.add(QStringLiteral("MgcOnlineCycle"), TimerInterval::MgcOnlineCycle, [this] { tick(); });
}

void MgcOnlineExchange::logFile(const QString& text)
{
    m_log.writeFileLine(QStringLiteral("MGC ONLINE Module ") + NowStamp(m_clock.now(), QLocale()) + text);
}

bool MgcOnlineExchange::limsReady()
{
    if (m_lims.isOpen()) {
        m_limsReported = false;
        return true;
    }
    if (!m_limsReported)
        m_log.monitor(
            QStringLiteral("the LIMS port is not open: MGC results and sample ids wait until it is"));
    m_limsReported = true;
    return false;
}

void MgcOnlineExchange::failed(const QString& key, const QString& text, const SqlResult* result)
{
    if (result && (result->connectionLost() || !m_db.isOpen()))
        m_lost = true;
    // Logged once while it comes back tick after tick; forgotten after a tick without it.
    m_current.insert(key, text);
    if (m_previous.value(key) != text)
        m_log.monitor(text);
    m_previous.insert(key, text);
}

void MgcOnlineExchange::tick()
{
    m_previous = std::exchange(m_current, {});
    if (m_lost) {
        // While records wait in the spool, the spool opens the connection again.
        Spool* spool = m_store.spool();
        if (!(spool && spool->hasPending()) && !m_db.reconnect()) {
            failed(QStringLiteral("lab"), QStringLiteral("MGC online exchange waits: the laboratory database "
                                                         "cannot be reached"));
        } else {
            m_lost = false;
        }
    }
    MgcOnlineCheckResults();
    MgcOnlineCheckSampleIds();
}

void MgcOnlineExchange::MgcOnlineCheckResults()
{
    logFile(QStringLiteral(" check Results"));
    MgcMoveResults();
    // Every listed result with whether it can be sent: a validated result and a channel. A sample
    // is read and sent only when something of it can go; a row that cannot is named once and stays.
    SqlResult listed = m_db.run(QStringLiteral(
        "SELECT mr.sample_id, mr.parameter_id, "
        "(SELECT COUNT(*) FROM results r WHERE r.sample_id = mr.sample_id "
        "AND r.parameter_id = mr.parameter_id), "
        "(SELECT COUNT(*) FROM app_protocols_testmap apt WHERE apt.TestDef_Id = mr.parameter_id) "
        "FROM MGC_Result mr ORDER BY mr.sample_id"));
    if (!listed.ok()) {
        failed(QStringLiteral("results"),
               QStringLiteral("MGC_Result cannot be read: %1").arg(listed.error().simplified()), &listed);
        return;
    }
    QStringList ids;
    QSet<QString> waiting;
    while (listed.next()) {
        if (listed.value(0).isNull())
            continue;
        const QString id = listed.value(0).toString();
        const QString row = id + QLatin1Char('|') + listed.value(1).toString();
        waiting.insert(row);
        const bool validated = listed.value(2).toInt() > 0;
        const bool channel = listed.value(3).toInt() > 0;
        if (validated && channel) {
            m_unsendable.remove(row);
            if (ids.isEmpty() || ids.last() != id)
                ids << id;
            continue;
        }
        if (m_unsendable.contains(row))
            continue;
        m_unsendable.insert(row);
        m_log.monitor(
            QStringLiteral("sample %1 parameter %2: %3; not sent to the LIMS (its MGC_Result row stays)")
                .arg(id, listed.value(1).toString(),
                     validated ? QStringLiteral("no channel in app_protocols_testmap")
                               : QStringLiteral("no validated result")));
    }
    listed.finish();
    // Rows no longer listed are forgotten: listed again, they are named again.
    m_unsendable.intersect(waiting);
    for (const QString& id : std::as_const(ids))
        MgcSendResult(id);
}

void MgcOnlineExchange::MgcMoveResults()
{
    if (m_settings.AutoVal != QLatin1String("1"))
        return;
    Transaction transaction(m_db);
    DbOutcome outcome = transaction.begin();
    const auto step = [&](const QString& sql, const QVariantList& values = {}) {
        if (!outcome.ok())
            return;
        SqlResult r = m_db.run(sql, values);
        outcome = DbOutcome::of(m_db, r);
    };
    // Above the measuring range: the analyzer's ">" becomes 9999, clipped to range_high below.
    step(QStringLiteral("UPDATE request SET result = 9999 WHERE data_alarm = ?"), {QStringLiteral(">")});
    // Orders no interval of validation set 1 covers leave request without a result row: their values
    // would be nowhere but in this log.
    QStringList unvalidated;
    QStringList unvalidatedRows;
    if (outcome.ok()) {
        SqlResult rows = m_db.run(QStringLiteral(
            "SELECT r.sample_id, r.parameter_id, r.result FROM request r "
            "WHERE r.analyzer_id IS NOT NULL AND r.time_stamp IS NOT NULL AND r.result IS NOT NULL "
            "AND NOT EXISTS (SELECT 1 FROM validation v "
            "INNER JOIN interpretation i ON i.id = v.interpretation "
            "INNER JOIN test_def ds ON ds.parameter_id = v.parameter_id "
            "WHERE v.parameter_id = r.parameter_id AND v.nw_id = 1 "
            "AND r.result BETWEEN v.v_from AND v.v_to)"));
        outcome = DbOutcome::of(m_db, rows);
        while (rows.next()) {
            unvalidatedRows << rows.value(0).toString() + QLatin1Char('|') + rows.value(1).toString();
            unvalidated << QStringLiteral("sample %1 parameter %2: result %3 is in no interval of validation "
                                          "set 1: not validated, not sent to the LIMS")
                               .arg(rows.value(0).toString(), rows.value(1).toString(),
                                    NumberText(rows.value(2)));
        }
    }
    // The finished orders are taken out of request, in one go where other processes validate at
    // the same moment: earlier validations of the same sample and parameter are replaced,
    // validation set 1 gives the interpretation (the validation time is now, the measuring time
    // the order's), and MGC_Result lists them.
    if (outcome.ok())
        outcome = MoveRows(
            m_db, QStringLiteral("request"),
            QStringLiteral("sample_id, parameter_id, analyzer_id, time_stamp, result"),
            AutovalidatedOrders(m_settings.QcTables),
            {{QStringLiteral("DELETE FROM results WHERE EXISTS (SELECT 1 FROM {moved} r WHERE r.sample_id = "
                             "results.sample_id AND r.parameter_id = results.parameter_id)"),
              {}},
             {QStringLiteral(
                  "INSERT INTO results (sample_id, result, interpretation, parameter_id, suspicious, "
                  "interpretation_arab, analyzer_id, val_time_stamp, meas_time_stamp) "
                  "SELECT r.sample_id, CASE WHEN r.result < ds.range_low THEN 0 "
                  "WHEN r.result > ds.range_high THEN ds.range_high ELSE r.result END, i.value, "
                  "r.parameter_id, v.suspicious, i.value_arab, r.analyzer_id, ?, r.time_stamp "
                  "FROM {moved} r INNER JOIN validation v ON v.parameter_id = r.parameter_id "
                  "INNER JOIN interpretation i ON i.id = v.interpretation "
                  "INNER JOIN test_def ds ON ds.parameter_id = r.parameter_id "
                  "WHERE v.nw_id = 1 AND r.result BETWEEN v.v_from AND v.v_to"),
              {m_db.stamp(SqlStamp(m_clock.now()))}},
             {QStringLiteral(
                  "INSERT INTO MGC_Result (sample_id, parameter_id) SELECT sample_id, parameter_id "
                  "FROM {moved} r"),
              {}}});
    if (outcome.ok())
        outcome = transaction.commit();
    if (!outcome.ok()) {
        transaction.rollback();
        if (outcome.connectionLost || !m_db.isOpen())
            m_lost = true;
        failed(QStringLiteral("move"),
               QStringLiteral("finished orders not moved to results and MGC_Result (tried again): %1")
                   .arg(outcome.error));
        return;
    }
    for (const QString& line : std::as_const(unvalidated))
        m_log.monitor(line);
    for (const QString& row : std::as_const(unvalidatedRows))
        m_unsendable.insert(row);
}

void MgcOnlineExchange::MgcSendResult(const QString& sampleId)
{
    const auto fail = [&](const QString& why, const SqlResult* result = nullptr) {
        logFile(QStringLiteral(" error sending result: ") + sampleId);
        if (!why.isEmpty())
            failed(QStringLiteral("send:") + sampleId,
                   QStringLiteral("sample %1: results not sent: %2").arg(sampleId, why), result);
    };
    Transaction transaction(m_db);
    if (DbOutcome o = transaction.begin(); !o.ok()) {
        m_lost = m_lost || o.connectionLost;
        return fail(o.error);
    }
    SqlResult counted =
        m_db.run(QStringLiteral("SELECT COUNT(*) FROM MGC_Result WHERE sample_id = ?"), {sampleId});
    if (!counted.next())
        return fail(counted.ok() ? QStringLiteral("no count") : counted.error().simplified(), &counted);
    const int count = counted.value(0).toInt();
    counted.finish();
    if (count == 0)
        return;

    SqlResult info =
        m_db.run(QStringLiteral("SELECT sample_info FROM MGC_SampleID WHERE sample_id = ?"), {sampleId});
    if (!info.ok())
        return fail(info.error().simplified(), &info);
    const QString sampleInfo = info.next() ? NullToText(info.value(0)) : QString();
    info.finish();
    const QDateTime now = m_clock.now();
    const QString header =
        sampleInfo.isEmpty() ? MgcResultHeader(sampleId, now, count) : MgcSampleInfoHeader(sampleInfo, count);

    SqlResult rows =
        m_db.run(QStringLiteral("SELECT r.result, apt.AssignedChannel, r.parameter_id FROM results r "
                                "INNER JOIN MGC_Result mr ON mr.sample_id = r.sample_id "
                                "AND mr.parameter_id = r.parameter_id "
                                "INNER JOIN app_protocols_testmap apt ON r.parameter_id = apt.TestDef_Id "
                                "WHERE r.sample_id = ? ORDER BY apt.AssignedChannel, r.parameter_id"),
                 {sampleId});
    if (!rows.ok())
        return fail(rows.error().simplified(), &rows);
    QList<MgcOnlineResult> results;
    QList<QVariant> parameters;
    while (rows.next()) {
        const QString value = NumberText(rows.value(0));
        const std::optional<QString> fitted = MgcResultValue(value);
        if (!fitted) {
            // Its row stays in MGC_Result until the value is corrected.
            failed(QStringLiteral("held:%1:%2").arg(sampleId, rows.value(2).toString()),
                   QStringLiteral("sample %1 parameter %2: value \"%3\" does not fit the 6 characters of the "
                                  "result frame: held")
                       .arg(sampleId, rows.value(2).toString(), value));
            continue;
        }
        results << MgcOnlineResult{NullToText(rows.value(1)), *fitted};
        if (!parameters.contains(rows.value(2)))
            parameters << rows.value(2);
    }
    rows.finish();
    if (results.isEmpty())
        return; // nothing of the sample can go yet: its rows wait

    if (!limsReady())
        return fail(QString());
    // The rows go in the same transaction as they were read, committed once the frame is on the line.
    for (const QVariant& parameter : std::as_const(parameters)) {
        SqlResult removed =
            m_db.run(QStringLiteral("DELETE FROM MGC_Result WHERE sample_id = ? AND parameter_id = ?"),
                     {sampleId, parameter});
        if (!removed.ok())
            return fail(removed.error().simplified(), &removed);
    }
    for (const QVariant& parameter : std::as_const(parameters))
        logFile(QStringLiteral(" send result: ") + sampleId + QStringLiteral(" / ") + parameter.toString());
    m_lims.send(MgcResultFrame(header, results), Direction::HostToLims);
    if (DbOutcome o = transaction.commit(); !o.ok()) {
        m_lost = m_lost || o.connectionLost;
        return fail(
            QStringLiteral("sent, but MGC_Result keeps its rows (the frame goes again): %1").arg(o.error));
    }
}

void MgcOnlineExchange::MgcOnlineCheckSampleIds()
{
    logFile(QStringLiteral(" check SampleID's"));
    SqlResult pending = m_db.run(QStringLiteral("SELECT DISTINCT sample_id FROM MGC_SampleID "
                                                "WHERE sample_info IS NULL AND send = 0 ORDER BY sample_id"));
    if (!pending.ok()) {
        failed(QStringLiteral("ids"),
               QStringLiteral("MGC_SampleID cannot be read: %1").arg(pending.error().simplified()), &pending);
        return;
    }
    QStringList ids;
    while (pending.next()) {
        if (!pending.value(0).isNull())
            ids << pending.value(0).toString();
    }
    pending.finish();
    for (const QString& id : std::as_const(ids)) {
        if (!MgcSendSampleId(id))
            continue;
        SqlResult marked =
            m_db.run(QStringLiteral("UPDATE MGC_SampleID SET send = 1 WHERE sample_id = ?"), {id});
        if (!marked.ok())
            failed(QStringLiteral("id:") + id,
                   QStringLiteral("sample id %1: announced, but not marked as sent (announced again): %2")
                       .arg(id, marked.error().simplified()),
                   &marked);
    }
}

bool MgcOnlineExchange::MgcSendSampleId(const QString& sampleId)
{
    if (!limsReady())
        return false;
    m_lims.send(MgcSampleIdFrame(sampleId, m_clock.now()), Direction::HostToLims);
    return true;
}

} // namespace Quorlix
