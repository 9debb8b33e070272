#include "RawResults.h"

#include "StoreValues.h"
#include "core/Database.h"
#include "core/FrameText.h"
#include "core/SqlHelpers.h"

namespace Quorlix {

void RawResultRows::add(Database& db, const QString& sampleId, qint16 parameterId, const QString& analyzerId,
                        const QString& timeStamp, const QString& result, const QString& dataAlarm)
{
    QStringList columns{QStringLiteral("sample_id"), QStringLiteral("parameter_id"),
                        QStringLiteral("analyzer_id"), QStringLiteral("time_stamp")};
    QVariantList values{BoundText(sampleId.trimmed()), parameterId, BoundText(analyzerId),
                        db.stamp(timeStamp)};
    const QString value = WithoutBlanks(result);
    if (!value.isEmpty()) {
        columns << QStringLiteral("result");
        values << NumericOrNull(value);
    }
    if (dataAlarm != QLatin1String(" ")) {
        columns << QStringLiteral("data_alarm");
        values << BoundText(dataAlarm);
    }
    for (Group& group : m_groups) {
        if (group.columns == columns) {
            group.rows.push_back(values);
            return;
        }
    }
    m_groups.push_back({columns, {values}});
}

DbOutcome RawResultRows::insert(Database& db) const
{
    // A record holds at most MaxResults rows: their values stay far below the number of bound
    // values SQL Server (2100) and SQLite accept in one statement.
    for (const Group& group : m_groups) {
        const QString row = QStringLiteral("(%1)").arg(
            QStringList(group.columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
        QVariantList values;
        for (const QVariantList& rowValues : group.rows)
            values << rowValues;
        SqlResult result =
            db.run(QStringLiteral("INSERT INTO Raw_Results (%1) VALUES %2")
                       .arg(group.columns.join(QStringLiteral(", ")),
                            QStringList(qsizetype(group.rows.size()), row).join(QStringLiteral(", "))),
                   values);
        if (DbOutcome o = DbOutcome::of(db, result); !o.ok())
            return o;
    }
    return DbOutcome::done();
}

} // namespace Quorlix
