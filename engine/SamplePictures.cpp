#include "SamplePictures.h"

#include "core/CommLog.h"
#include "core/Database.h"
#include "core/Stamps.h"
#include "store/StoreValues.h"
#include "store/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace Quorlix {

SamplePictures::SamplePictures(Database& db, CommLog& log, const QString& dropFolder, const QDateTime& now)
    : m_db(db), m_log(log), m_dropFolder(dropFolder),
      m_dayFolder(QDir(dropFolder).filePath(now.toString(QStringLiteral("yyyyMMdd"))))
{
}

bool SamplePictures::IsValidSampleId(const QString& text)
{
    static const QString refused = QStringLiteral("\\ +*$\u00a7'/");
    return std::none_of(text.begin(), text.end(),
                        [](QChar c) { return refused.contains(c) || c.unicode() < 0x20; });
}

QString SamplePictures::UnsafeFileName(const QString& sampleId)
{
    static const QString refused = QStringLiteral("/\\:<>|?\"*");
    const auto bad = std::find_if(sampleId.begin(), sampleId.end(),
                                  [](QChar c) { return refused.contains(c) || c.unicode() < 0x20; });
    if (bad != sampleId.end())
        return QStringLiteral("The barcode \"%1\" cannot name a picture: it contains \"%2\".")
            .arg(sampleId, ControlCharsToNames(QString(*bad)));
    if (sampleId.contains(QLatin1String("..")))
        return QStringLiteral("The barcode \"%1\" cannot name a picture: it contains \"..\".").arg(sampleId);
    // Windows takes the name before the first dot as the device, whatever follows.
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\.|$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (device.match(sampleId).hasMatch())
        return QStringLiteral("The barcode \"%1\" cannot name a picture: it is a device name on Windows.")
            .arg(sampleId);
    return {};
}

QString SamplePictures::FreeName(const QString& folder, const QString& sampleId)
{
    const QDir dir(folder);
    QString name = sampleId + QLatin1String(".jpg");
    for (int n = 0; QFileInfo::exists(dir.filePath(name)); ++n) {
        if (n > MaxSuffix)
            return {};
        name = QStringLiteral("%1_%2.jpg").arg(sampleId).arg(n);
    }
    return name;
}

bool SamplePictures::dropFolderExists() const
{
    return QFileInfo(m_dropFolder).isDir();
}

QStringList SamplePictures::pictures() const
{
    QStringList found;
    const QFileInfoList files = QDir(m_dropFolder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& file : files) {
        if (file.fileName().right(4).toLower() == QLatin1String(".jpg"))
            found << file.absoluteFilePath();
    }
    return found;
}

QString SamplePictures::MovePicture(const QString& sampleId, const QString& user, const QDateTime& now)
{
    const QStringList found = pictures();
    if (found.size() != 1)
        return QStringLiteral("%1 .jpg files in %2: none moved").arg(found.size()).arg(m_dropFolder);
    if (!QDir().mkpath(m_dayFolder))
        return QStringLiteral("the folder %1 cannot be created: the picture stays in %2")
            .arg(m_dayFolder, m_dropFolder);
    const QString name = FreeName(m_dayFolder, sampleId);
    if (name.isEmpty())
        return QStringLiteral("%1.jpg and %1_0.jpg to %1_%2.jpg exist in %3: the picture stays in %4")
            .arg(sampleId)
            .arg(MaxSuffix)
            .arg(m_dayFolder, m_dropFolder);
    const QString target = QDir(m_dayFolder).filePath(name);

    // The row and the move succeed together: the row is committed only once the picture is there.
    Transaction transaction(m_db);
    DbOutcome o = transaction.begin();
    if (o.ok()) {
        SqlResult row = m_db.run(
            QStringLiteral(
                "INSERT INTO SAMPLE_PICS (SAMPLE_ID, SAVE_PATH, USER_ID, TIME_STAMP) VALUES (?, ?, ?, ?)"),
            {sampleId, m_dayFolder, BoundText(user), m_db.stamp(SqlStamp(now))});
        o = DbOutcome::of(m_db, row);
    }
    if (!o.ok()) {
        transaction.rollback();
        return QStringLiteral("the picture cannot be recorded (%1): it stays in %2")
            .arg(o.error, m_dropFolder);
    }
    QFile picture(found.first());
    if (!picture.rename(target)) {
        const QString why = picture.errorString();
        transaction.rollback();
        // A copy that failed part way leaves nothing behind.
        if (QFileInfo::exists(target) && QFileInfo::exists(found.first()))
            QFile::remove(target);
        return QStringLiteral("the picture cannot be moved to %1 (%2): it stays in %3")
            .arg(target, why, m_dropFolder);
    }
    if (DbOutcome committed = transaction.commit(); !committed.ok()) {
        if (!QFile::rename(target, found.first()))
            return QStringLiteral("the picture cannot be recorded (%1) nor moved back: it is %2")
                .arg(committed.error, target);
        return QStringLiteral("the picture cannot be recorded (%1): it stays in %2")
            .arg(committed.error, m_dropFolder);
    }
    m_log.writeFileLine(QStringLiteral("Picture saved: %1 to %2").arg(name, m_dayFolder));
    return {};
}

} // namespace Quorlix
