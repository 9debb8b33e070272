#pragma once

#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Settings.h"
#include "store/Records.h"
#include "store/Store.h"
#include "support/FakeLine.h"
#include "support/TestDatabase.h"

#include <QDateTime>
#include <QLocale>
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

// A fresh laboratory database behind a store: the clock stands at `now`, the locale is German, the
// analyzer is a Hitachi 911 named H911 without a LIMS side, and the LIMS line records what it is
// sent. The records are filled by a test and handed to the store as a driver hands them.
struct StoreFixture
{
    explicit StoreFixture(const QString& backend, const QDateTime& now = StoreNow);

    void storeSample() { store.StoreSampleResult(sampleRecord, frameRecord, {}); }
    void storeControl() { store.StoreControlResult(sampleRecord, frameRecord, {}); }
    void storeCalibration() { store.StoreCalibration(calibrationRecord, {}); }

    // The first column of the first row of a query, as text.
    QString text(const QString& sql, const QVariantList& values = {}) { return tdb.scalar(sql, values); }
    // A time stamp column as "yyyy-MM-dd HH:mm:ss" text, for a SELECT list.
    QString stampOf(const QString& column) const { return tdb.target().dialect.castText(column); }
    // The Monitor lines logged so far, without their prefix.
    QStringList monitor() const;

    TestDatabase tdb;
    ManualClock clock;
    QLocale locale{QLocale::German, QLocale::Germany};
    CommLog log{clock, locale};
    Settings setup;
    FakeLine limsLine{&log, QStringLiteral("LIMS port")};
    Store store{setup, tdb.db(), log, clock, limsLine};
    SampleRecord sampleRecord;
    HitachiFrameRecord frameRecord;
    CalibrationRecord calibrationRecord;
};

} // namespace Quorlix::Test
