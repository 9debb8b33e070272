#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <functional>

namespace Quorlix {

struct Context;

// A date-time read from the database, whatever form the driver hands it in.
QDateTime DateTimeOf(const QVariant& value);

// The shift a moment falls in: hour boundaries since the first shift, divided by the shift length.
qint64 ShiftNumber(const QDateTime& firstShift, const QDateTime& when, double shiftLengthHours);

// Day and shift bookkeeping in quorlix_log. A new day or shift re-arms the analyzer's control blocks
// (rearm is called with the analyzer id) and writes its "d_change" / "s_change" row. With no shift
// length configured the shift check is skipped.
void CheckDayShiftChange(Context& context, const std::function<void(const QString&)>& rearm);

// The start-up header of a log file: rollover form or start-up form of the "Out Analyser" line.
QStringList StartupHeader(const Context& context, bool rollover);

// Opens the day's log file (ComLogPath, analyzer, yyyymmdd); returns an error text naming the file.
QString OpenDailyLog(Context& context);

// Rolls the log over when the local date differs from the date of the open file, writes the header
// and a "log_change" row. A failure keeps the previous file; the next call tries again.
void CheckLogRollover(Context& context);

// Inserts a quorlix_log row with the program's time stamp.
bool InsertLogRow(Context& context, const QString& key);

} // namespace Quorlix
