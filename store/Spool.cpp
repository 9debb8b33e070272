#include "Spool.h"

#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Quorlix {

namespace {

const QString BadFolderName = QStringLiteral("bad");
const QString Extension = QStringLiteral(".json");
const QString TemporaryExtension = QStringLiteral(".tmp");

bool SyncFile(QFile& file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return true;
#endif
}

void SyncFolder(const QString& folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

// Writes the file under a temporary name, flushes it to the disk and renames it, so that a file
// of the final name is always complete.
QString WriteDurably(const QString& folder, const QString& name, const QByteArray& data)
{
    const QString path = QDir(folder).filePath(name);
    const QString temporary = path + TemporaryExtension;
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot write %1: %2").arg(temporary, file.errorString());
    if (file.write(data) != data.size() || !SyncFile(file)) {
        const QString error = file.errorString();
        file.close();
        QFile::remove(temporary);
        return QStringLiteral("cannot write %1: %2").arg(temporary, error);
    }
    file.close();
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        return QStringLiteral("cannot rename %1 to %2").arg(temporary, name);
    }
    SyncFolder(folder);
    return {};
}

qint64 SequenceOf(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)\\.json$"));
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace

Spool::Spool(Database& db, CommLog& log, const Clock& clock, const JobKinds& kinds, QString folder,
             Runner runner)
    : m_db(db), m_log(log), m_clock(clock), m_kinds(kinds), m_folder(std::move(folder)),
      m_runner(std::move(runner))
{
    if (!QDir().mkpath(m_folder))
        monitor(QStringLiteral("spool folder %1 cannot be created").arg(m_folder));
    scan();
}

QString Spool::badFolder() const
{
    return QDir(m_folder).filePath(BadFolderName);
}

void Spool::scan()
{
    QDir dir(m_folder);
    // A temporary file is a record whose writing was interrupted: keep it aside for inspection.
    const QStringList interrupted =
        dir.entryList({QStringLiteral("*") + TemporaryExtension}, QDir::Files, QDir::Name);
    for (const QString& name : interrupted)
        moveAside(name, QStringLiteral("its writing was interrupted"));

    const QStringList names = dir.entryList({QStringLiteral("*") + Extension}, QDir::Files, QDir::Name);
    m_files.clear();
    for (const QString& name : names) {
        const qint64 sequence = SequenceOf(name);
        if (sequence < 0) {
            moveAside(name, QStringLiteral("it is not a spool file"));
            continue;
        }
        m_files.append(name);
        m_nextSequence = qMax(m_nextSequence, sequence + 1);
    }
    if (!m_files.isEmpty())
        monitor(
            QStringLiteral("spool %1: %2 record(s) waiting to be stored").arg(m_folder).arg(m_files.size()));
}

bool Spool::add(const StoreJob& job, const QString& why)
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray data = QJsonDocument(ToJson(job, id)).toJson(QJsonDocument::Indented);
    const QString name = QStringLiteral("%1%2").arg(m_nextSequence, 12, 10, QLatin1Char('0')).arg(Extension);
    const QString error = QDir().mkpath(m_folder)
                              ? WriteDurably(m_folder, name, data)
                              : QStringLiteral("the folder %1 cannot be created").arg(m_folder);
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

void Spool::moveAside(const QString& name, const QString& reason)
{
    QDir dir(m_folder);
    dir.mkpath(BadFolderName);
    QString target = QDir(badFolder()).filePath(name);
    for (int n = 1; QFile::exists(target); ++n)
        target = QDir(badFolder()).filePath(QStringLiteral("%1.%2").arg(name).arg(n));
    if (QFile::rename(dir.filePath(name), target)) {
        SyncFolder(m_folder);
        monitor(QStringLiteral("spool file %1 moved to %2: %3").arg(name, target, reason));
    } else {
        monitor(QStringLiteral("spool file %1 left in place and skipped (it cannot be moved to %2): %3")
                    .arg(name, badFolder(), reason));
    }
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
    if (m_replaying || m_files.isEmpty())
        return;
    m_replaying = true;
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

    while (!m_files.isEmpty()) {
        const QString name = m_files.first();
        QFile file(QDir(m_folder).filePath(name));
        QString spoolId;
        QString error;
        std::optional<StoreJob> job;
        if (!file.open(QIODevice::ReadOnly)) {
            error = file.errorString();
        } else if (file.size() > MaxFileSize) {
            error = QStringLiteral("larger than %1 bytes").arg(MaxFileSize);
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
            moveAside(name,
                      QStringLiteral("%1 refused by the database: %2").arg(job->describe(), outcome.error));
            continue;
        }
        // Stored (or stored before a crash kept the file): the file has served its purpose.
        QFile::remove(file.fileName());
        ++m_storedSinceBacklog;
    }
    if (m_storedSinceBacklog > 0)
        monitor(QStringLiteral("spool: %1 record(s) stored; none waiting").arg(m_storedSinceBacklog));
    m_storedSinceBacklog = 0;
    m_lastReport.clear();
    m_replaying = false;
}

} // namespace Quorlix
