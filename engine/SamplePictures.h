#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Quorlix {

class CommLog;
class Database;

// Naming a sample picture: a camera drops a .jpg into the drop folder (PicSavePath); the picture
// is moved into the folder of the day (PicDayFolder, drop folder/yyyymmdd) under the sample's id,
// and recorded in SAMPLE_PICS. No widgets: the window frmNamePics calls it.
class SamplePictures
{
public:
    // The day folder is fixed by the moment given (when the window opens).
    SamplePictures(Database& db, CommLog& log, const QString& dropFolder, const QDateTime& now);

    // False for an id with a character that cannot stand in the picture's name: a blank, "+",
    // "*", "$", "§", "'", "\", and "/" (the separator of folders here).
    static bool IsValidSampleId(const QString& text);
    // Why the id cannot name a picture file on every system the pictures may be copied to (empty
    // when it can): a folder separator, "..", a character Windows refuses in names (: < > | ? " *
    // and control characters), or a Windows device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9,
    // with any extension), which would send the picture to a device instead of a file.
    static QString UnsafeFileName(const QString& sampleId);
    // id.jpg, or id_0.jpg ... id_999.jpg when taken; empty when all are taken.
    static QString FreeName(const QString& folder, const QString& sampleId);
    // The highest suffix tried.
    static constexpr int MaxSuffix = 999;

    QString dayFolder() const { return m_dayFolder; }
    bool dropFolderExists() const;
    // The pictures waiting in the drop folder (any file whose name ends in ".jpg", in any case).
    QStringList pictures() const;
    int CountPictures() const { return int(pictures().size()); }

    // Moves the one picture of the drop folder to the day folder under the id and records it for
    // the user at the moment given. Returns why not, when the picture was not moved (it then stays
    // in the drop folder and no row is written).
    QString MovePicture(const QString& sampleId, const QString& user, const QDateTime& now);

private:
    Database& m_db;
    CommLog& m_log;
    QString m_dropFolder;
    QString m_dayFolder;
};

} // namespace Quorlix
