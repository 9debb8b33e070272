#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Quorlix {

// The files of one analyzer's records in a spool folder. Every process of a site may use the same
// folder (one quorlix.ini, one log folder), so a name carries its analyzer:
// "<sequence, 12 digits>-<analyzer id, percent-encoded>.json". No two processes ever write the
// same name, each finds its own records again after a restart, and the sequence keeps them in the
// order they arrived. Records refused by the database are kept under the same name in the
// subfolder "bad" (the quarantine): moved back into the folder, they are stored again.
// Names of the form before ("<digits>.json") are taken by the analyzer their record names.
class SpoolFiles
{
public:
    SpoolFiles(QString folder, const QString& analyzerId);
    // The spool folder of a site: "spool/" in the folder of the communication logs.
    static QString folderBeside(const QString& logFolder);

    QString folder() const { return m_folder; }
    QString analyzerId() const { return m_analyzerId; }
    QString badFolder() const;
    QString path(const QString& name) const;
    QString badPath(const QString& name) const;

    QString nameOf(qint64 sequence) const;
    // The sequence of one of this analyzer's names; -1 for any other name.
    qint64 sequenceOf(const QString& name) const;

    // This analyzer's records in the folder, oldest first.
    QStringList waiting() const;
    // Its records in the quarantine.
    QStringList quarantined() const;
    // Its files whose writing was interrupted.
    QStringList interrupted() const;
    // Files of the form before in the folder, of any analyzer.
    QStringList formerNames() const;
    // "*.json" files in the folder of no form this program writes.
    QStringList strangers() const;
    // The analyzer a record of the form before belongs to; empty (with the reason) when the file
    // cannot be read.
    QString analyzerOf(const QString& name, QString* error) const;
    // What --check-config reports: this analyzer's records waiting in the folder and set aside in
    // the quarantine, of either naming.
    int waitingCount() const;
    int quarantinedCount() const;
    // The highest sequence of this analyzer's names in the folder and the quarantine (0: none).
    qint64 highestSequence() const;

    // Writes the file under a temporary name, flushes it to the disk and renames it, so that a
    // file of the final name is always complete. Empty, or what failed.
    static QString writeDurably(const QString& folder, const QString& name, const QByteArray& data);
    // Makes a rename or removal in the folder durable.
    static void syncFolder(const QString& folder);

    // A spool file is a few kilobytes; anything beyond this is not one of ours.
    static constexpr qint64 MaxFileSize = 1 << 20;

private:
    QStringList ownIn(const QString& folder, const QString& extension) const;
    static QStringList formerIn(const QString& folder);
    static QString analyzerOfFile(const QString& path, QString* error);
    int formerOwnIn(const QString& folder) const;

    QString m_folder;
    QString m_analyzerId;
    QString m_suffix; // "-<encoded id>.json"
};

} // namespace Quorlix
