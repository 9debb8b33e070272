#pragma once

#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Context.h"
#include "support/TestDatabase.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Quorlix::Test {

// The moment the store tests receive their records.
inline const QDateTime StoreNow(QDate(2026, 12, 7), QTime(10, 39, 40));

// Frame pieces for expected frames written field by field.
inline const QString Stx(QChar(2));
inline const QString Etx(QChar(3));
inline QString Blanks(int n)
{
    return QString(n, QLatin1Char(' '));
}

// A fresh laboratory database behind a context: the clock stands at `now`, the locale is German and
// the analyzer is a Hitachi 911 named H911, without a LIMS side.
struct StoreFixture
{
    explicit StoreFixture(const QString& backend, const QDateTime& now = StoreNow);

    // The first column of the first row of a query, as text.
    QString text(const QString& sql, const QVariantList& values = {}) { return tdb.scalar(sql, values); }
    // A time stamp column as "yyyy-MM-dd HH:mm:ss" text, for a SELECT list.
    QString stampOf(const QString& column) const { return tdb.target().dialect.castText(column); }
    // The Monitor lines logged so far, without their prefix.
    QStringList monitor() const;

    TestDatabase tdb;
    ManualClock clock;
    Context context;
    CommLog log{clock, context.locale};
};

} // namespace Quorlix::Test
