#include "ManualInput.h"

#include "core/CommLog.h"
#include "core/Database.h"
#include "core/DayShift.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "store/ControlStore.h"
#include "store/StoreValues.h"
#include "store/Transaction.h"
#include "store/qc/QcEvaluation.h"

#include <algorithm>

namespace Quorlix {

namespace {

bool ContainsAnyOf(const QString& text, const QString& characters)
{
    return std::any_of(text.begin(), text.end(), [&](QChar c) { return characters.contains(c); });
}

// The same statement for every name the session's rows may carry, in the caller's transaction.
DbOutcome RunFor(Database& db, const QString& sql, const QStringList& names,
                 const std::function<QVariantList(const QString&)>& values)
{
    for (const QString& name : names) {
        SqlResult result = db.run(sql, values(name));
        if (!result.ok())
            return DbOutcome::of(db, result);
    }
    return DbOutcome::done();
}

DbOutcome RunStatement(Database& db, const QString& sql, const QVariantList& values)
{
    SqlResult result = db.run(sql, values);
    return DbOutcome::of(db, result);
}

QString Failure(const QString& what, const DbOutcome& outcome)
{
    return QStringLiteral("%1: %2").arg(what, outcome.error);
}

} // namespace

ManualInput::ManualInput(Database& db, CommLog& log, const Settings& settings)
    : m_db(db), m_log(log), m_settings(settings)
{
}

bool ManualInput::IsValidSampleId(const QString& text)
{
    return !ContainsAnyOf(text, QStringLiteral("\\ +*$\u00a7'"));
}

bool ManualInput::IsValidResult(const QString& text)
{
    return !ContainsAnyOf(text, QStringLiteral("\\ *$\u00a7'"));
}

QString ManualInput::ResultText(const QString& typed)
{
    return typed.trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
}

QString ManualInput::device() const
{
    return m_settings.AnalyzerId;
}

qint16 ManualInput::parameterId() const
{
    return m_settings.InputParameterId.value_or(0);
}

bool ManualInput::autovalidated() const
{
    return ReadNumber(m_settings.AutoVal).value != 0;
}

bool ManualInput::isControl(const QString& sampleId) const
{
    return MatchesMask(sampleId, m_settings.ControlMask);
}

QString ManualInput::analyzerUser(const QString& user) const
{
    return device() + QLatin1Char('_') + user.trimmed();
}

QString ManualInput::deviceTable() const
{
    return m_db.dialect().quoteIdentifier(m_settings.InputTableName);
}

QStringList ManualInput::sessionNames() const
{
    QStringList names{device()};
    QStringList users = m_writtenNames.values();
    users.sort();
    return names + users;
}

void ManualInput::input(const QString& text)
{
    m_log.logall(text, Direction::ManualInput);
}

bool ManualInput::startSession()
{
    SqlResult row =
        m_db.run(QStringLiteral(
                     "INSERT INTO quorlix_log (time_stamp, log_key, log_val) VALUES (%1, ?, 'SessionStart')")
                     .arg(m_db.dialect().now()),
                 {BoundText(device())});
    if (!row.ok())
        m_log.monitor(
            QStringLiteral("the session start of %1 cannot be written: %2").arg(device(), row.error()));
    m_sessionStarted = row.ok();
    return m_sessionStarted;
}

std::optional<QString> ManualInput::parameterName()
{
    std::optional<QString> name;
    if (m_settings.InputParameterId) {
        SqlResult row =
            m_db.run(QStringLiteral("SELECT Long FROM test_def WHERE parameter_id = ?"), {parameterId()});
        if (row.next())
            name = NullToText(row.value(0));
        else if (!row.ok())
            m_log.monitor(QStringLiteral("test_def cannot be read: %1").arg(row.error()));
    }
    m_log.writeFileLine(name ? QStringLiteral("Parameter: %1 / %2").arg(parameterId()).arg(*name)
                             : QStringLiteral("Parameter not configured!"));
    if (autovalidated())
        m_log.writeFileLine(QStringLiteral("Results will be autovalidated and go direct to results."));
    return name;
}

QStringList ManualInput::users()
{
    const QString frequent =
        QStringLiteral("SELECT userid FROM (SELECT ub.userid AS userid, COUNT(*) AS ctr FROM sample_base sb "
                       "INNER JOIN user_base ub ON sb.entry_user = ub.comment GROUP BY ub.userid) q1 "
                       "WHERE ctr > 100");
    QStringList users;
    for (const QString& sql :
         {frequent + QStringLiteral(" ORDER BY ctr DESC"),
          QStringLiteral("SELECT userid FROM user_base WHERE userid IS NOT NULL AND userid NOT IN (%1) "
                         "ORDER BY userid")
              .arg(frequent)}) {
        SqlResult rows = m_db.run(sql);
        if (!rows.ok())
            m_log.monitor(QStringLiteral("the users cannot be read: %1").arg(rows.error()));
        while (rows.next()) {
            const QString user = NullToText(rows.value(0));
            if (!users.contains(user))
                users << user;
        }
    }
    return users;
}

bool ManualInput::isUser(const QString& user)
{
    SqlResult row = m_db.run(QStringLiteral("SELECT COUNT(*) FROM user_base WHERE userid = ?"), {user});
    return row.next() && row.value(0).toInt() > 0;
}

// One entry as it is stored.
struct ManualInput::Entry
{
    QString sample;
    qint16 parameter = 0;
    QString result;   // as stored
    QVariant value;   // the result as a number
    QString user;     // trimmed
    QString withUser; // the analyzer_id of its rows
    QString now;      // the dialect's current time
};

QString ManualInput::enter(const QString& sampleId, const QString& typedResult, const QString& user)
{
    Entry entry;
    entry.sample = sampleId.trimmed();
    entry.result = ResultText(typedResult);
    entry.parameter = parameterId();
    entry.withUser = analyzerUser(user);
    entry.user = user.trimmed();
    bool number = false;
    entry.value = NumericOrNull(entry.result, &number);
    // The result columns hold numbers: a text that is none cannot be stored.
    if (!number)
        return QStringLiteral("result \"%1\" of %2 is not a number: not stored")
            .arg(entry.result, entry.sample);

    Transaction transaction(m_db);
    // A failed statement is released only after the rollback (PostgreSQL wants it so).
    const auto fail = [&](const DbOutcome& o) {
        const QString text = Failure(QStringLiteral("%1 not stored").arg(entry.sample), o);
        transaction.rollback();
        return text;
    };
    if (DbOutcome o = transaction.begin(); !o.ok())
        return fail(o);
    entry.now = m_db.dialect().now();
    QStringList lines;
    QStringList qcNotes;
    if (DbOutcome o = writeEntry(entry, lines); !o.ok())
        return fail(o);
    if (isControl(entry.sample)) {
        if (DbOutcome o = judgeControl(transaction, entry, qcNotes); !o.ok())
            return fail(o);
    }
    if (DbOutcome o = transaction.commit(); !o.ok())
        return fail(o);
    m_writtenNames.insert(entry.withUser);
    for (const QString& line : std::as_const(lines))
        input(line);
    for (const QString& note : std::as_const(qcNotes))
        m_log.monitor(note);
    return {};
}

DbOutcome ManualInput::writeEntry(const Entry& entry, QStringList& lines)
{
    const QString tail = QStringLiteral(" Parameter ID: %1 Result: %2 Analyser/User: %3")
                             .arg(entry.parameter)
                             .arg(entry.result, entry.withUser);
    const QVariantList values{entry.sample, entry.parameter, entry.value, entry.withUser};
    if (isControl(entry.sample)) {
        if (DbOutcome o =
                RunStatement(m_db,
                             QStringLiteral("INSERT INTO control_results (control_id, parameter_id, "
                                            "time_stamp, result, analyzer_id) VALUES (?, ?, %1, ?, ?)")
                                 .arg(entry.now),
                             values);
            !o.ok())
            return o;
        lines << QStringLiteral("Enter Control Value: Control ID: ") + entry.sample + tail;
        return DbOutcome::done();
    }
    if (DbOutcome o =
            RunStatement(m_db,
                         QStringLiteral("INSERT INTO Raw_Results (sample_id, parameter_id, time_stamp, "
                                        "result, analyzer_id) VALUES (?, ?, %1, ?, ?)")
                             .arg(entry.now),
                         values);
        !o.ok())
        return o;
    lines << QStringLiteral("Enter to RAW_Results: SAMPLE ID: ") + entry.sample + tail;
    if (autovalidated())
        return writeValidatedResult(entry, lines);
    if (DbOutcome o =
            RunStatement(m_db,
                         QStringLiteral("INSERT INTO %1 (sample_id, parameter_id, time_stamp, result, "
                                        "analyzer_id) VALUES (?, ?, %2, ?, ?)")
                             .arg(deviceTable(), entry.now),
                         values);
        !o.ok())
        return o;
    lines << QStringLiteral("Enter to %1: SAMPLE ID: ").arg(m_settings.InputTableName) + entry.sample + tail;
    return DbOutcome::done();
}

DbOutcome ManualInput::judgeControl(Transaction& transaction, const Entry& entry, QStringList& notes)
{
    // The row took the database server's time: the quality control judges it at that time.
    SqlResult stamped =
        m_db.run(QStringLiteral("SELECT MAX(time_stamp) FROM control_results WHERE control_id = ? AND "
                                "parameter_id = ? AND analyzer_id = ?"),
                 {entry.sample, entry.parameter, entry.withUser});
    if (!stamped.ok())
        return DbOutcome::of(m_db, stamped);
    const QDateTime stamp = stamped.next() ? DateTimeOf(stamped.value(0)) : QDateTime();
    stamped.finish();
    const StoredControl control{entry.sample, entry.parameter, entry.withUser, stamp, entry.value.toDouble()};
    return JudgeControlResult(transaction, control, {m_settings.QcTables, m_settings.QcHold}, notes);
}

DbOutcome ManualInput::writeValidatedResult(const Entry& entry, QStringList& lines)
{
    QString interpretation;
    QString interpretationArab;
    bool suspicious = false;
    const QString range = QStringLiteral("parameter_id = ? AND v_from <= ? AND v_to >= ? AND nw_id = 2");
    const QVariantList inRange{entry.parameter, entry.value, entry.value};
    SqlResult texts = m_db.run(QStringLiteral("SELECT value, value_arab FROM interpretation WHERE id IN "
                                              "(SELECT interpretation FROM validation WHERE %1)")
                                   .arg(range),
                               inRange);
    if (!texts.ok())
        return DbOutcome::of(m_db, texts);
    if (texts.next()) {
        interpretation = NullToText(texts.value(0));
        interpretationArab = NullToText(texts.value(1));
    }
    texts.finish();
    SqlResult flag =
        m_db.run(QStringLiteral("SELECT suspicious FROM validation WHERE %1").arg(range), inRange);
    if (!flag.ok())
        return DbOutcome::of(m_db, flag);
    if (flag.next())
        suspicious = NumOrZero(flag.value(0)) != 0;
    flag.finish();
    if (DbOutcome o =
            RunStatement(m_db, QStringLiteral("DELETE FROM results WHERE sample_id = ? AND parameter_id = ?"),
                         {entry.sample, entry.parameter});
        !o.ok())
        return o;
    if (DbOutcome o = RunStatement(
            m_db,
            QStringLiteral("INSERT INTO results (sample_id, parameter_id, meas_time_stamp, val_time_stamp, "
                           "result, interpretation, interpretation_arab, suspicious, analyzer_id, "
                           "r_validator) VALUES (?, ?, %1, %1, ?, ?, ?, ?, ?, ?)")
                .arg(entry.now),
            {entry.sample, entry.parameter, entry.value, BoundText(interpretation),
             BoundText(interpretationArab), suspicious ? 1 : 0, BoundText(device()), BoundText(entry.user)});
        !o.ok())
        return o;
    lines << QStringLiteral("Enter to Results: SAMPLE ID: %1 Parameter ID: %2 Result: %3 Interpretation: %4 "
                            "Analyser: %5 User: %6")
                 .arg(entry.sample)
                 .arg(entry.parameter)
                 .arg(entry.result, interpretation, device(), entry.user);
    return DbOutcome::done();
}

QString ManualInput::deleteEntry(const QString& sampleId)
{
    const QString sample = sampleId.trimmed();
    const qint16 parameter = parameterId();
    Transaction transaction(m_db);
    DbOutcome o = transaction.begin();
    if (o.ok() && isControl(sample)) {
        // A control value of this session, entered by any of its users.
        o = RunFor(
            m_db,
            QStringLiteral("DELETE FROM control_results WHERE control_id = ? AND parameter_id = ? AND "
                           "analyzer_id = ? AND time_stamp >= (SELECT MAX(time_stamp) FROM quorlix_log "
                           "WHERE log_key = ? AND log_val = 'SessionStart')"),
            m_writtenNames.values(), [&](const QString& name) {
                return QVariantList{sample, parameter, name, BoundText(device())};
            });
    } else if (o.ok()) {
        // Only what this station wrote: a validated result of the sample from another analyzer stays.
        for (const QString& sql :
             {QStringLiteral(
                  "DELETE FROM results WHERE sample_id = ? AND parameter_id = ? AND analyzer_id = ?"),
              QStringLiteral("DELETE FROM %1 WHERE sample_id = ? AND parameter_id = ? AND analyzer_id = ?")
                  .arg(deviceTable())}) {
            o = RunFor(m_db, sql, sessionNames(), [&](const QString& name) {
                return QVariantList{sample, parameter, name};
            });
            if (!o.ok())
                break;
        }
    }
    if (o.ok())
        o = transaction.commit();
    transaction.rollback(); // after a failure; nothing once committed
    if (!o.ok())
        return Failure(QStringLiteral("the result of %1 was not deleted").arg(sample), o);
    input(QStringLiteral("Result deleted for sample ID: ") + sample);
    return {};
}

QString ManualInput::clearSession()
{
    // Without this session's start the deletions would reach back into the previous session.
    if (!m_sessionStarted)
        return QStringLiteral("the session start could not be written: the session is not cleared");
    const qint16 parameter = parameterId();
    // Rows written from the moment the session started belong to it.
    const QString since = QStringLiteral(">= (SELECT MAX(time_stamp) FROM quorlix_log WHERE log_key = ? AND "
                                         "log_val = 'SessionStart')");
    Transaction transaction(m_db);
    DbOutcome o = transaction.begin();
    for (const QString& sql :
         {QStringLiteral(
              "DELETE FROM results WHERE parameter_id = ? AND analyzer_id = ? AND meas_time_stamp ") +
              since,
          QStringLiteral("DELETE FROM %1 WHERE parameter_id = ? AND analyzer_id = ? AND time_stamp ")
                  .arg(deviceTable()) +
              since,
          QStringLiteral(
              "DELETE FROM control_results WHERE parameter_id = ? AND analyzer_id = ? AND time_stamp ") +
              since}) {
        if (!o.ok())
            break;
        o = RunFor(m_db, sql, sessionNames(), [&](const QString& name) {
            return QVariantList{parameter, name, BoundText(device())};
        });
    }
    if (o.ok())
        o = transaction.commit();
    transaction.rollback(); // after a failure; nothing once committed
    if (!o.ok())
        return Failure(QStringLiteral("the session was not cleared"), o);
    input(QStringLiteral("Session cleared: All Results  for Parameter : %1 since start of session  deleted!")
              .arg(parameter));
    return {};
}

std::optional<double> ManualInput::lowCutoff()
{
    SqlResult row =
        m_db.run(QStringLiteral("SELECT MIN(v_to) FROM validation WHERE parameter_id = ? AND suspicious = 1"),
                 {parameterId()});
    if (!row.next() || row.value(0).isNull())
        return std::nullopt;
    return row.value(0).toDouble();
}

} // namespace Quorlix
