#include "SampleIds.h"

#include "StoreValues.h"
#include "Transaction.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"

namespace Quorlix {

namespace {

constexpr qsizetype PrefixLength = 5;

// The counter of an id of the day made by this program: three digits, or four to six digits
// without a leading zero once a day has passed 999. Other ids that merely begin with the prefix
// (barcodes) are not counters. -1 when the id is not one.
qint64 CounterOf(const QString& id, const QString& prefix)
{
    if (!id.startsWith(prefix))
        return -1;
    const QString suffix = id.mid(PrefixLength);
    if (suffix.size() < 3 || suffix.size() > 6 || (suffix.size() > 3 && suffix.at(0) == QLatin1Char('0')))
        return -1;
    for (const QChar c : suffix) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    }
    return suffix.toLongLong();
}

QString IdOf(const QString& prefix, qint64 counter)
{
    return prefix + (counter < 1000 ? QStringLiteral("%1").arg(counter, 3, 10, QLatin1Char('0'))
                                    : QString::number(counter));
}

// Processes sharing the database take turns: each chooses an id and writes its sample_base row
// before the next one looks for the highest id. Held until the store call's transaction ends.
DbOutcome LockSampleIds(Database& db)
{
    const SqlDialect::BoundStatement lock =
        db.dialect().transactionLock(QStringLiteral("quorlix.sample_ids"));
    SqlResult locked = db.run(lock.sql, lock.values);
    return DbOutcome::of(db, locked);
}

// Outside a store call the lock needs a transaction of its own (SQL Server's application lock
// belongs to one).
template <typename Allocate> DbOutcome InTransaction(Database& db, Allocate allocate)
{
    Transaction transaction(db);
    if (DbOutcome o = transaction.begin(); !o.ok())
        return o;
    if (DbOutcome o = allocate(); !o.ok())
        return o;
    return transaction.commit();
}

} // namespace

DbOutcome LockSample(Database& db, const QString& sampleId)
{
    const SqlDialect::BoundStatement lock =
        db.dialect().transactionLock(QStringLiteral("quorlix.sample.") + sampleId.trimmed());
    SqlResult locked = db.run(lock.sql, lock.values);
    return DbOutcome::of(db, locked);
}

DbOutcome NewSampleIdOn(Database& db, const QDate& day, QString* id, QStringList* notes)
{
    if (DbOutcome o = LockSampleIds(db); !o.ok())
        return o;
    const QString prefix = day.toString(QStringLiteral("yyyyMMdd")).right(PrefixLength);
    SqlResult rows = db.run(QStringLiteral("SELECT sample_id FROM sample_base WHERE sample_id LIKE ?"),
                            {prefix + QLatin1Char('%')});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    qint64 highest = 0;
    while (rows.next())
        highest = qMax(highest, CounterOf(rows.value(0).toString().trimmed(), prefix));
    rows.finish();

    qint64 counter = highest + 1;
    // Ids written by hand or by other tools may still take the next number: never hand out one
    // that exists.
    for (;;) {
        SqlResult taken = db.run(QStringLiteral("SELECT COUNT(*) FROM sample_base WHERE sample_id = ?"),
                                 {IdOf(prefix, counter)});
        if (!taken.next())
            return DbOutcome::of(db, taken);
        if (taken.value(0).toInt() == 0)
            break;
        ++counter;
    }
    *id = IdOf(prefix, counter);
    // The four-digit counter starts once a day: that is when it is reported.
    if (counter == 1000) {
        if (notes)
            notes->append(
                QStringLiteral("more than 999 sample ids on %1: the counter goes on with four digits (%2)")
                    .arg(day.toString(QStringLiteral("yyyy-MM-dd")), *id));
    }
    return DbOutcome::done();
}

DbOutcome SampleIdForAnalyzerIdOn(Database& db, const QString& analyzerSampleId, const QDate& day,
                                  QString* id, QStringList* notes)
{
    // Under the same lock: two processes receiving the same analyzer id map it to one sample.
    if (DbOutcome o = LockSampleIds(db); !o.ok())
        return o;
    SqlResult row = db.run(QStringLiteral("SELECT sample_id FROM sample_base WHERE status_1 = ? AND %1 = ?")
                               .arg(db.dialect().yearOf(QStringLiteral("entry_dat"))),
                           {BoundText(analyzerSampleId), day.year()});
    if (!row.ok())
        return DbOutcome::of(db, row);
    if (row.next()) {
        *id = row.value(0).toString();
        return DbOutcome::done();
    }
    row.finish();
    return NewSampleIdOn(db, day, id, notes);
}

QString NewSampleId(Database& db, const Clock& clock, CommLog& log)
{
    QString id;
    QStringList notes;
    const DbOutcome outcome =
        InTransaction(db, [&] { return NewSampleIdOn(db, clock.now().date(), &id, &notes); });
    for (const QString& note : notes)
        log.monitor(note);
    if (!outcome.ok())
        log.monitor(QStringLiteral("no new sample id: %1").arg(outcome.error));
    return id;
}

QString SampleIdForAnalyzerId(Database& db, const Clock& clock, CommLog& log, const QString& analyzerSampleId)
{
    QString id;
    QStringList notes;
    const DbOutcome outcome = InTransaction(
        db, [&] { return SampleIdForAnalyzerIdOn(db, analyzerSampleId, clock.now().date(), &id, &notes); });
    for (const QString& note : notes)
        log.monitor(note);
    if (!outcome.ok())
        log.monitor(QStringLiteral("no sample id for %1: %2").arg(analyzerSampleId, outcome.error));
    return id;
}

} // namespace Quorlix
