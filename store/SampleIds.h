#pragma once

#include "DbOutcome.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace Quorlix {

class Clock;
class CommLog;
class Database;

// Laboratory sample ids made by the program: the last digit of the year, month and day, then a
// counter of the day ("61207001" is the first sample of 7 December 2026). After the 999th sample
// of a day the counter goes on with four digits (612071000) rather than wrapping to 000.

// The next free laboratory sample id of today; empty (with a Monitor line) when the database fails.
// Nothing reserves it: a caller that files a sample under a new id uses the forms below.
QString NewSampleId(Database& db, const Clock& clock, CommLog& log);

// The laboratory id already given this year to an analyzer-side sample id (kept in
// sample_base.status_1), else a new one; empty (with a Monitor line) when the database fails.
QString SampleIdForAnalyzerId(Database& db, const Clock& clock, CommLog& log,
                              const QString& analyzerSampleId);

// The same for a given day, inside a store call; notes collects the Monitor lines for after commit.
// They lock the allocation of ids for the rest of the call's transaction: the caller writes the
// id's sample_base row in that transaction, so that no other process can hand out the same id.
DbOutcome NewSampleIdOn(Database& db, const QDate& day, QString* id, QStringList* notes);
DbOutcome SampleIdForAnalyzerIdOn(Database& db, const QString& analyzerSampleId, const QDate& day,
                                  QString* id, QStringList* notes);

// Inside a store call, before it looks for a sample's sample_base row and writes one when there is
// none: processes storing the same sample at once take turns, so that it gets one row.
DbOutcome LockSample(Database& db, const QString& sampleId);

} // namespace Quorlix
