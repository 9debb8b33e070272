#pragma once

#include "AstmRecords.h"

#include <QString>
#include <QStringList>

namespace Quorlix::Dsx {

// The messages a Dynex DSX and its host exchange (ASTM E1394), read and written without I/O.

// Sample ids of one query message, and records of one answer.
inline constexpr int MaxQueryIds = 1000;
inline constexpr int MaxAnswerRecords = 32000;

struct DsxMessage
{
    // The first character of the record after the header: "P" results, "Q" a query, "M" an
    // error report, "L" no results; "?" when the message has no second record.
    QString kind;
    QStringList header;      // fields 0..13 of the H record
    QStringList terminator;  // fields 0..2 of the L record
    Astm::Patients patients; // a result message as patients, orders, results
    QStringList queryIds;    // field 2 of each Q record
    int refusedQueryIds = 0; // Q records beyond MaxQueryIds
    QStringList problems;    // records that were not used, for the log
};

// A message as its record texts joined with CR. Text before the first header is dropped.
DsxMessage ParseDsxMessage(const QString& text);

// The answer to a query: the query's header (sender: this computer; receiver: the query's
// sender), one P per patient and one O per order, and the query's terminator ending "F". The O
// records carry the fixed request and receipt time "20030821195400".
QStringList BuildDsxAnswer(const Astm::Patients& patients, const QStringList& header,
                           const QStringList& terminator, const QString& computerName);

} // namespace Quorlix::Dsx
