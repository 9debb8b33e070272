#include "SpoolFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Quorlix {

namespace {

const QString BadFolderName = QStringLiteral("bad");
const QString Extension = QStringLiteral(".json");
const QString TemporaryExtension = QStringLiteral(".tmp");
constexpr int SequenceDigits = 12;

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

bool IsFormerName(const QString& name)
{
    static const QRegularExpression former(QStringLiteral("^\\d+\\.json$"));
    return former.match(name).hasMatch();
}

bool IsPresentName(const QString& name)
{
    static const QRegularExpression present(QStringLiteral("^\\d{12}-.*\\.json$"));
    return present.match(name).hasMatch();
}

} // namespace

SpoolFiles::SpoolFiles(QString folder, const QString& analyzerId)
    : m_folder(std::move(folder)), m_analyzerId(analyzerId),
      m_suffix(QLatin1Char('-') + QString::fromLatin1(QUrl::toPercentEncoding(analyzerId)) + Extension)
{
}

QString SpoolFiles::folderBeside(const QString& logFolder)
{
    return logFolder + QLatin1String("spool/");
}

QString SpoolFiles::badFolder() const
{
    return QDir(m_folder).filePath(BadFolderName);
}

QString SpoolFiles::path(const QString& name) const
{
    return QDir(m_folder).filePath(name);
}

QString SpoolFiles::badPath(const QString& name) const
{
    return QDir(badFolder()).filePath(name);
}

QString SpoolFiles::nameOf(qint64 sequence) const
{
    return QStringLiteral("%1").arg(sequence, SequenceDigits, 10, QLatin1Char('0')) + m_suffix;
}

qint64 SpoolFiles::sequenceOf(const QString& name) const
{
    if (!name.endsWith(m_suffix) || name.size() != SequenceDigits + m_suffix.size())
        return -1;
    bool ok = false;
    const qint64 sequence = name.left(SequenceDigits).toLongLong(&ok);
    return ok && name.at(0).isDigit() ? sequence : -1;
}

QStringList SpoolFiles::ownIn(const QString& folder, const QString& extension) const
{
    QStringList own;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*") + m_suffix + extension}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (sequenceOf(extension.isEmpty() ? name : name.chopped(extension.size())) >= 0)
            own << name;
    }
    return own;
}

QStringList SpoolFiles::waiting() const
{
    return ownIn(m_folder, QString());
}

QStringList SpoolFiles::quarantined() const
{
    return ownIn(badFolder(), QString());
}

QStringList SpoolFiles::interrupted() const
{
    return ownIn(m_folder, TemporaryExtension);
}

QStringList SpoolFiles::formerIn(const QString& folder)
{
    QStringList former;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*") + Extension}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (IsFormerName(name))
            former << name;
    }
    return former;
}

QStringList SpoolFiles::formerNames() const
{
    return formerIn(m_folder);
}

QStringList SpoolFiles::strangers() const
{
    QStringList strange;
    const QStringList names =
        QDir(m_folder).entryList({QStringLiteral("*") + Extension}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (!IsFormerName(name) && !IsPresentName(name))
            strange << name;
    }
    return strange;
}

QString SpoolFiles::analyzerOf(const QString& name, QString* error) const
{
    return analyzerOfFile(path(name), error);
}

QString SpoolFiles::analyzerOfFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    if (file.size() > MaxFileSize) {
        *error = QStringLiteral("larger than %1 bytes").arg(MaxFileSize);
        return {};
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    const QJsonValue id =
        document.object().value(QStringLiteral("settings")).toObject().value(QStringLiteral("AnalyzerId"));
    if (!id.isString()) {
        *error = parse.error != QJsonParseError::NoError ? parse.errorString()
                                                         : QStringLiteral("no analyzer named in it");
        return {};
    }
    return id.toString();
}

int SpoolFiles::formerOwnIn(const QString& folder) const
{
    int own = 0;
    const QStringList former = formerIn(folder);
    for (const QString& name : former) {
        QString error;
        if (analyzerOfFile(QDir(folder).filePath(name), &error) == m_analyzerId && error.isEmpty())
            ++own;
    }
    return own;
}

int SpoolFiles::waitingCount() const
{
    return int(waiting().size()) + formerOwnIn(m_folder);
}

int SpoolFiles::quarantinedCount() const
{
    return int(quarantined().size()) + formerOwnIn(badFolder());
}

qint64 SpoolFiles::highestSequence() const
{
    qint64 highest = 0;
    for (const QStringList& names : {waiting(), quarantined()}) {
        for (const QString& name : names)
            highest = qMax(highest, sequenceOf(name));
    }
    return highest;
}

QString SpoolFiles::writeDurably(const QString& folder, const QString& name, const QByteArray& data)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 cannot be created").arg(folder);
    const QString target = QDir(folder).filePath(name);
    const QString temporary = target + TemporaryExtension;
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
    if (!QFile::rename(temporary, target)) {
        QFile::remove(temporary);
        return QStringLiteral("cannot rename %1 to %2").arg(temporary, name);
    }
    syncFolder(folder);
    return {};
}

void SpoolFiles::syncFolder(const QString& folder)
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

} // namespace Quorlix
