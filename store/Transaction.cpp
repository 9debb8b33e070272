#include "Transaction.h"

#include "core/Database.h"

#include <QSqlError>

namespace Quorlix {

Transaction::~Transaction()
{
    if (m_open)
        rollback();
}

DbOutcome Transaction::begin()
{
    if (!m_db.isOpen())
        return DbOutcome::databaseFailed(QStringLiteral("the database connection is closed"), true);
    if (!m_db.transaction()) {
        const QString reason = m_db.handle().lastError().text().simplified();
        return DbOutcome::databaseFailed(
            QStringLiteral("the transaction cannot start%1")
                .arg(reason.isEmpty() ? QString() : QStringLiteral(": ") + reason),
            !m_db.isOpen());
    }
    m_open = true;
    return DbOutcome::done();
}

DbOutcome Transaction::commit()
{
    if (!m_open)
        return DbOutcome::databaseFailed(QStringLiteral("no transaction to commit"));
    if (!m_db.commit()) {
        // A deferred constraint refuses the record at its commit; a lost connection or a busy
        // file fails it for now.
        DbOutcome failure = DbOutcome::ofError(m_db, m_db.handle().lastError());
        failure.error = QStringLiteral("the transaction cannot be committed: %1").arg(failure.error);
        rollback();
        return failure.decided(m_db);
    }
    m_open = false;
    return DbOutcome::done();
}

void Transaction::rollback()
{
    if (!m_open)
        return;
    m_open = false;
    if (m_db.isOpen())
        m_db.rollback();
}

DbOutcome Transaction::skippable(const std::function<DbOutcome()>& group)
{
    const QString name = QStringLiteral("quorlix_step%1").arg(++m_savepoints);
    const SqlDialect& dialect = m_db.dialect();
    SqlResult mark = m_db.run(dialect.savepoint(name));
    if (!mark.ok()) {
        DbOutcome failure = DbOutcome::of(m_db, mark);
        failure.kind = DbOutcome::DatabaseFailed;
        return failure;
    }
    DbOutcome outcome = group();
    if (outcome.kind == DbOutcome::DatabaseFailed)
        return outcome;
    if (outcome.kind == DbOutcome::DataRejected || outcome.kind == DbOutcome::Unclassified) {
        SqlResult undo = m_db.run(dialect.rollbackToSavepoint(name));
        if (!undo.ok()) {
            DbOutcome failure = DbOutcome::of(m_db, undo);
            failure.kind = DbOutcome::DatabaseFailed;
            failure.connectionLost = failure.connectionLost || outcome.kind == DbOutcome::Unclassified;
            return failure;
        }
        // The connection answered: a failure the error did not explain was the group's own.
        outcome.kind = DbOutcome::DataRejected;
    }
    const QString release = dialect.releaseSavepoint(name);
    if (!release.isEmpty()) {
        SqlResult done = m_db.run(release);
        if (!done.ok()) {
            DbOutcome failure = DbOutcome::of(m_db, done);
            failure.kind = DbOutcome::DatabaseFailed;
            return failure;
        }
    }
    return outcome;
}

} // namespace Quorlix
