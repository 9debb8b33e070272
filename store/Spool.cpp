#include "Spool.h"

#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QUuid>

namespace Quorlix {

Spool::Spool(Database& db, CommLog& log, const Clock& clock, const JobKinds& kinds, SpoolFiles files,
             Runner runner, int quarantineLimit)
    : m_db(db), m_log(log), m_clock(clock), m_kinds(kinds), m_disk(std::move(files)),
      m_runner(std::move(runner)), m_quarantineLimit(quarantineLimit)
{
    if (!QDir().mkpath(m_disk.folder()))
        monitor(QStringLiteral("spool folder %1 cannot be created").arg(m_disk.folder()));
    m_nextSequence = m_disk.highestSequence() + 1;
    // A temporary file is a record whose writing was interrupted: keep it aside for inspection.
    const QStringList interrupted = m_disk.interrupted();
    for (const QString& name : interrupted)
        moveAside(name, QStringLiteral("its writing was interrupted"));
    scan();
    if (!m_files.isEmpty())
        monitor(QStringLiteral("spool %1: %2 record(s) waiting to be stored")
                    .arg(m_disk.folder())
                    .arg(m_files.size()));
}

void Spool::scan()
{
    takeFormerNames();
    const QStringList strangers = m_disk.strangers();
    for (const QString& name : strangers) {
        if (!m_foreign.contains(name))
            moveAside(name, QStringLiteral("it is not a spool file"));
    }
    m_files = m_disk.waiting();
}

void Spool::takeFormerNames()
{
    const QStringList former = m_disk.formerNames();
    for (const QString& name : former) {
        if (m_foreign.contains(name))
            continue;
        QString error;
        const QString owner = m_disk.analyzerOf(name, &error);
        if (!error.isEmpty()) {
            moveAside(name, QStringLiteral("it cannot be read: %1").arg(error));
            continue;
        }
        if (owner != m_disk.analyzerId()) {
            m_foreign.insert(name); // another analyzer's process takes it
            continue;
        }
        // Its number keeps its place among the others of the former naming, where it is free.
        const qint64 number = name.chopped(5).toLongLong();
        const bool free = number > 0 && !QFile::exists(m_disk.path(m_disk.nameOf(number))) &&
                          !QFile::exists(m_disk.badPath(m_disk.nameOf(number)));
        const qint64 sequence = free ? number : m_nextSequence;
        if (QFile::rename(m_disk.path(name), m_disk.path(m_disk.nameOf(sequence)))) {
            m_nextSequence = qMax(m_nextSequence, sequence + 1);
            SpoolFiles::syncFolder(m_disk.folder());
        } else {
            m_foreign.insert(name);
            monitor(QStringLiteral("spool file %1 cannot be renamed to %2: left as it is")
                        .arg(name, m_disk.nameOf(sequence)));
        }
    }
}

bool Spool::add(const StoreJob& job, const QString& why)
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray data = QJsonDocument(ToJson(job, id)).toJson(QJsonDocument::Indented);
    const QString name = m_disk.nameOf(m_nextSequence);
    const QString error = SpoolFiles::writeDurably(m_disk.folder(), name, data);
    if (!error.isEmpty()) {
        monitor(QStringLiteral("%1 cannot be kept in the spool (%2; %3): %4")
                    .arg(job.describe(), why, error,
                         QString::fromUtf8(QJsonDocument(ToJson(job, id)).toJson(QJsonDocument::Compact))));
        return false;
    }
    ++m_nextSequence;
    m_files.append(name);
    monitor(QStringLiteral("%1 kept in the spool (%2 waiting): %3")
                .arg(job.describe())
                .arg(m_files.size())
                .arg(why));
    return true;
}

void Spool::quarantine(const StoreJob& job, const QString& why)
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QJsonDocument record(ToJson(job, id));
    if (!quarantineHasRoom()) {
        logInFull(job.describe(), why, record.toJson(QJsonDocument::Compact));
        return;
    }
    const QString name = m_disk.nameOf(m_nextSequence);
    const QString error =
        SpoolFiles::writeDurably(m_disk.badFolder(), name, record.toJson(QJsonDocument::Indented));
    if (!error.isEmpty()) {
        logInFull(job.describe(), QStringLiteral("%1; %2").arg(why, error),
                  record.toJson(QJsonDocument::Compact));
        return;
    }
    ++m_nextSequence;
    monitor(QStringLiteral("%1 set aside in %2: %3").arg(job.describe(), m_disk.badPath(name), why));
}

void Spool::moveAside(const QString& name, const QString& reason)
{
    QDir().mkpath(m_disk.badFolder());
    QString target = m_disk.badPath(name);
    if (QFile::exists(target)) {
        // One of this analyzer's names takes a new number (it stays a record that can be moved
        // back); any other name a numbered suffix.
        if (m_disk.sequenceOf(name) >= 0)
            target = m_disk.badPath(m_disk.nameOf(m_nextSequence++));
        for (int n = 1; QFile::exists(target); ++n)
            target = m_disk.badPath(QStringLiteral("%1.%2").arg(name).arg(n));
    }
    if (QFile::rename(m_disk.path(name), target)) {
        SpoolFiles::syncFolder(m_disk.folder());
        monitor(QStringLiteral("spool file %1 moved to %2: %3").arg(name, target, reason));
    } else if (QFile::exists(m_disk.path(name))) {
        m_foreign.insert(name);
        monitor(QStringLiteral("spool file %1 left in place and skipped (it cannot be moved to %2): %3")
                    .arg(name, m_disk.badFolder(), reason));
    }
}

void Spool::setAside(const QString& name, const StoreJob& job, const QString& reason)
{
    if (quarantineHasRoom()) {
        moveAside(name, reason);
        return;
    }
    QFile file(m_disk.path(name));
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    const QJsonDocument record = QJsonDocument::fromJson(data);
    logInFull(job.describe(), reason, record.isObject() ? record.toJson(QJsonDocument::Compact) : data);
    QFile::remove(m_disk.path(name));
    SpoolFiles::syncFolder(m_disk.folder());
}

bool Spool::quarantineHasRoom()
{
    const qsizetype held = m_disk.quarantined().size();
    if (held < m_quarantineLimit) {
        m_quarantineFullReported = false;
        return true;
    }
    if (!m_quarantineFullReported)
        monitor(QStringLiteral("quarantine %1 holds %2 records, its limit: further records the database "
                               "refuses are written in full into this log")
                    .arg(m_disk.badFolder())
                    .arg(held));
    m_quarantineFullReported = true;
    return false;
}

void Spool::logInFull(const QString& what, const QString& why, const QByteArray& record)
{
    monitor(QStringLiteral("%1 not stored (%2): %3").arg(what, why, QString::fromUtf8(record).simplified()));
}

void Spool::monitor(const QString& text)
{
    m_log.monitor(text);
}

void Spool::reportOnce(const QString& text)
{
    if (text == m_lastReport)
        return;
    m_lastReport = text;
    monitor(text);
}

void Spool::replay()
{
    if (m_replaying)
        return;
    m_replaying = true;
    scan();
    if (m_files.isEmpty()) {
        m_replaying = false;
        return;
    }
    Database& db = m_db;

    if (m_reconnect || !db.isOpen()) {
        const QDateTime now = m_clock.now();
        if (m_nextReconnect.isValid() && now < m_nextReconnect) {
            m_replaying = false;
            return;
        }
        if (!db.reconnect()) {
            ++m_failedReconnects;
            const int delay = qMin(MaxReconnectDelaySeconds, 3 << qMin(m_failedReconnects - 1, 5));
            m_nextReconnect = now.addSecs(delay);
            reportOnce(QStringLiteral("spool: the database cannot be reached; %1 record(s) waiting")
                           .arg(m_files.size()));
            m_replaying = false;
            return;
        }
        monitor(QStringLiteral("spool: database connection opened again"));
        m_reconnect = false;
        m_failedReconnects = 0;
        m_nextReconnect = QDateTime();
    }

    int stored = 0;
    int refused = 0;
    while (!m_files.isEmpty()) {
        const QString name = m_files.first();
        QFile file(m_disk.path(name));
        QString spoolId;
        QString error;
        std::optional<StoreJob> job;
        if (!file.open(QIODevice::ReadOnly)) {
            error = file.errorString();
        } else if (file.size() > SpoolFiles::MaxFileSize) {
            error = QStringLiteral("larger than %1 bytes").arg(SpoolFiles::MaxFileSize);
        } else {
            QJsonParseError parse;
            const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
            if (!document.isObject())
                error = parse.error != QJsonParseError::NoError ? parse.errorString()
                                                                : QStringLiteral("not an object");
            else
                job = FromJson(document.object(), m_kinds, &spoolId, &error);
        }
        file.close();
        if (!job) {
            m_files.removeFirst();
            moveAside(name, QStringLiteral("it cannot be read: %1").arg(error));
            continue;
        }

        const JobOutcome outcome = m_runner(*job, spoolId);
        if (outcome.result == JobOutcome::DatabaseFailed) {
            if (outcome.connectionLost)
                m_reconnect = true;
            reportOnce(QStringLiteral("spool: the database still fails (%1); %2 record(s) waiting")
                           .arg(outcome.error)
                           .arg(m_files.size()));
            m_replaying = false;
            return;
        }
        m_files.removeFirst();
        if (outcome.result == JobOutcome::DataRejected) {
            // Refused for good: set aside, and the next record goes on.
            setAside(name, *job,
                     QStringLiteral("%1 refused by the database: %2").arg(job->describe(), outcome.error));
            ++refused;
            continue;
        }
        // Stored (or stored before a crash kept the file): the file has served its purpose.
        QFile::remove(file.fileName());
        if (outcome.stored())
            ++stored;
    }
    if (stored > 0 || refused > 0)
        monitor(refused == 0
                    ? QStringLiteral("spool: %1 record(s) stored; none waiting").arg(stored)
                    : QStringLiteral("spool: %1 record(s) stored, %2 refused and set aside; none waiting")
                          .arg(stored)
                          .arg(refused));
    m_lastReport.clear();
    m_replaying = false;
}

} // namespace Quorlix
