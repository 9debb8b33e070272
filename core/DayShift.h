#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QLocale;

namespace Quorlix {

class Clock;
class CommLog;
class Database;
struct Settings;

// A date-time read from the database, whatever form the driver hands it in.
QDateTime DateTimeOf(const QVariant& value);

// The shift a moment falls in: hour boundaries since the first shift, divided by the shift length.
qint64 ShiftNumber(const QDateTime& firstShift, const QDateTime& when, double shiftLengthHours);

// The day, shift and log-file bookkeeping of one analyzer process: the daily communication log
// file with its header, and the "d_change", "s_change" and "log_change" rows of quorlix_log.
class DayShift
{
public:
    DayShift(const Settings& settings, Database& db, CommLog& log, const Clock& clock, const QLocale& locale)
        : m_settings(settings), m_db(db), m_log(log), m_clock(clock), m_locale(locale)
    {
    }

    // A new day or shift writes its "d_change" / "s_change" row: the rows are shared by every
    // process on the database, the first to notice writes them. Each process re-arms its own
    // analyzer's control blocks at its first check in a day or shift, whoever wrote the rows:
    // rearm is called with the analyzer id inside a transaction, which also keeps the moment in
    // the analyzer's "blocks_armed" row (log_val the analyzer id), so that a restart in the same
    // shift does not re-arm again. rearm returns an error text, empty when it succeeded; a failure
    // is tried again at the next check. With no shift length configured the shift checks are
    // skipped.
    using Rearm = std::function<QString(const QString& analyzerId)>;
    void CheckDayShiftChange(const Rearm& rearm);

    // The start-up header of a log file: rollover form or start-up form of the "Out Analyser" line.
    QStringList StartupHeader(bool rollover) const;

    // Opens the day's log file (ComLogPath, analyzer, yyyymmdd); returns an error text naming the file.
    QString OpenDailyLog();

    // Rolls the log over when the local date differs from the date of the open file, writes the
    // header and a "log_change" row. A failure keeps the previous file; the next call tries again.
    void CheckLogRollover();

    // Inserts a quorlix_log row with the program's time stamp.
    bool InsertLogRow(const QString& key);

    // The first shift as configured, or 00:00 of the day zero when `firstshift` cannot be read.
    QDateTime firstShift() const;

    // The quorlix_log key of the analyzers' re-arming rows.
    static const QString ArmedKey;

private:
    QDateTime lastRow(const QString& key, bool* failed);
    // Whether two moments lie in the same day and shift.
    bool sameShift(const QDateTime& a, const QDateTime& b) const;
    void rearmOncePerShift(const Rearm& rearm);
    QString today() const;

    const Settings& m_settings;
    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    const QLocale& m_locale;
    QString m_rearmFailure; // the failure last reported, so that it is reported once
};

} // namespace Quorlix
