#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace Quorlix {

class CommLog;
class Database;
struct DbOutcome;
struct Settings;
class Transaction;

// The database work of a manual input station (type "INPUT"): an operator enters results of one
// parameter measured on one manual device. A control id goes to control_results; a patient value
// to Raw_Results and then, autovalidated, to results with its interpretation, or else to the
// device's own table (InputTableName). Every value is bound; each entry is stored in one
// transaction. No widgets: the window frmPushInput calls it.
class ManualInput
{
public:
    ManualInput(Database& db, CommLog& log, const Settings& settings);

    // Characters a sample id may not contain (a blank, "+", "*", "$", "§", "'", "\"); a result may
    // contain "+".
    static bool IsValidSampleId(const QString& text);
    static bool IsValidResult(const QString& text);
    // The result as it is stored: trimmed, every "," a ".".
    static QString ResultText(const QString& typed);

    // The session starts: its "SessionStart" row in quorlix_log.
    bool startSession();
    // The parameter's long name; nothing when test_def does not know it ("Parameter not
    // configured!"). Written to the log file either way.
    std::optional<QString> parameterName();
    // Users who entered more than 100 samples first (most first), then the others.
    QStringList users();
    bool isUser(const QString& user);

    bool autovalidated() const;
    bool isControl(const QString& sampleId) const;
    QString device() const;
    qint16 parameterId() const;

    // Stores one entry; an error text when nothing was stored (the entry may be tried again).
    QString enter(const QString& sampleId, const QString& typedResult, const QString& user);
    // Deletes what an entry of the history wrote (rows carrying this station's names only); an
    // error text when that failed.
    QString deleteEntry(const QString& sampleId);
    // Deletes every result of the parameter this device entered since the session started; refused
    // when the session's start could not be written.
    QString clearSession();
    // The lowest upper bound of the parameter's suspicious validation ranges (a history value below
    // it is shown in red); nothing when there is none.
    std::optional<double> lowCutoff();

private:
    struct Entry;
    // The rows of one entry, within the caller's transaction, and its log lines.
    DbOutcome writeEntry(const Entry& entry, QStringList& lines);
    // The quality control's judgement of a control entry just written, its Monitor lines in notes.
    DbOutcome judgeControl(Transaction& transaction, const Entry& entry, QStringList& notes);
    // The autovalidated result of a sample, with its interpretation.
    DbOutcome writeValidatedResult(const Entry& entry, QStringList& lines);
    QString analyzerUser(const QString& user) const;
    QString deviceTable() const;
    // The analyzer ids this session's rows carry: the device, and device_user for every user that
    // entered something.
    QStringList sessionNames() const;
    void input(const QString& text);

    Database& m_db;
    CommLog& m_log;
    const Settings& m_settings;
    QSet<QString> m_writtenNames;
    bool m_sessionStarted = false;
};

} // namespace Quorlix
