#pragma once

#include "core/Database.h"
#include "support/TestDatabase.h"

#include <QDateTime>
#include <QSqlRecord>
#include <QStringList>
#include <QTest>

namespace Quorlix::Test::MgcFixture {

// The rows of a query, each as its columns joined by "|" (NULL for a database null, time stamps
// as yyyy-MM-dd HH:mm:ss, numbers in their shortest form).
inline QStringList Rows(Database& db, const QString& sql)
{
    SqlResult r = db.run(sql);
    if (!r.ok()) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(r.error()));
        return {"<error>"};
    }
    QStringList out;
    while (r.next()) {
        QStringList row;
        for (int i = 0; i < r.query().record().count(); ++i) {
            const QVariant v = r.value(i);
            if (v.isNull())
                row << "NULL";
            else if (v.metaType().id() == QMetaType::QDateTime)
                row << v.toDateTime().toString("yyyy-MM-dd HH:mm:ss");
            else if (v.metaType().id() == QMetaType::Double)
                row << QString::number(v.toDouble(), 'g', 10);
            else
                row << v.toString();
        }
        out << row.join('|');
    }
    return out;
}

// One data row per backend for each case, named "backend: case"; the backend goes first, add()
// streams the case's own columns.
template <typename Case, typename Add> void CaseRows(const QList<Case>& cases, Add add)
{
    for (const QString& backend : Backends()) {
        for (const Case& c : cases)
            add(QTest::newRow(qPrintable(backend + ": " + c.name)) << backend, c);
    }
}

} // namespace Quorlix::Test::MgcFixture
