#pragma once

#include "DbOutcome.h"

#include <QStringList>
#include <QVariantList>
#include <vector>

namespace Quorlix {

class Database;

// The Raw_Results rows of one record, written together: one INSERT for many rows instead of a
// round trip to the database per result.
class RawResultRows
{
public:
    // One row: the trimmed sample id, the parameter, analyzer, time stamp (a ToSqlStamp text), the
    // result (blanks removed; SQL NULL when it is not a number; no value when it is empty) and the
    // data alarm (no value when it is exactly one blank).
    void add(Database& db, const QString& sampleId, qint16 parameterId, const QString& analyzerId,
             const QString& timeStamp, const QString& result, const QString& dataAlarm);
    DbOutcome insert(Database& db) const;

private:
    // Rows that leave out the same columns go into one statement.
    struct Group
    {
        QStringList columns;
        std::vector<QVariantList> rows;
    };
    std::vector<Group> m_groups;
};

} // namespace Quorlix
