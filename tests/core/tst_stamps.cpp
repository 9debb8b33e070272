#include "core/Stamps.h"

#include <QTest>

using namespace Quorlix;

class TestStamps : public QObject
{
    Q_OBJECT

private slots:
    void toSqlStamp_data();
    void toSqlStamp();
    void nowStamp_data();
    void nowStamp();
    void nowStampRoundTrips();
    void readSqlStamp_data();
    void readSqlStamp();
};

void TestStamps::toSqlStamp_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QLocale dayFirst(QLocale::German, QLocale::Germany);
    const QLocale monthFirst(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("day-first 24h") << dayFirst << "07.12.2026 10:39:40"
                                   << "20261207 10:39:40";
    QTest::newRow("month-first PM") << monthFirst << "12/7/2026 1:05:09 PM"
                                    << "20261207 13:05:09";
    QTest::newRow("month-first noon") << monthFirst << "12/7/2026 12:05:09 PM"
                                      << "20261207 12:05:09";
    QTest::newRow("month-first midnight") << monthFirst << "12/7/2026 12:05:09 AM"
                                          << "20261207 00:05:09";
    QTest::newRow("month-first morning") << monthFirst << "12/7/2026 9:05:09 AM"
                                         << "20261207 9:05:09";
    QTest::newRow("date alone") << monthFirst << "12/7/2026"
                                << "20261207";
    QTest::newRow("day-first date alone") << dayFirst << "1.2.2027"
                                          << "20270201";
    QTest::newRow("not a date") << dayFirst << "hello world"
                                << "hello world";
    QTest::newRow("empty") << dayFirst << ""
                           << "";
    QTest::newRow("date with blanks") << QLocale::c() << "8 Dec 2026 01:08:11"
                                      << "20261208 01:08:11";
    QTest::newRow("impossible date") << dayFirst << "31.02.2026 10:00:00"
                                     << "31.02.2026 10:00:00";
}

void TestStamps::toSqlStamp()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QTEST(ToSqlStamp(text, locale), "expected");
}

void TestStamps::nowStamp_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("day-first") << QLocale(QLocale::German, QLocale::Germany) << "07.12.2026 10:39:40";
    QTest::newRow("month-first") << QLocale(QLocale::English, QLocale::UnitedStates)
                                 << "12/7/2026 10:39:40 AM";
}

void TestStamps::nowStamp()
{
    QFETCH(QLocale, locale);
    const QDateTime when(QDate(2026, 12, 7), QTime(10, 39, 40));
    // Qt may use a narrow no-break space before AM/PM; the operator sees a blank.
    QString stamp = NowStamp(when, locale);
    stamp.replace(QChar(0x202F), QLatin1Char(' '));
    QTEST(stamp, "expected");
}

void TestStamps::nowStampRoundTrips()
{
    for (const QLocale& locale :
         {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
          QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::English, QLocale::UnitedKingdom),
          QLocale(QLocale::French, QLocale::France)}) {
        for (const QTime& time : {QTime(0, 0, 1), QTime(12, 0, 0), QTime(23, 59, 59), QTime(13, 5, 9)}) {
            const QDateTime when(QDate(2026, 3, 5), time);
            const QDateTime back = FromSqlStamp(ToSqlStamp(NowStamp(when, locale), locale));
            QVERIFY2(back == when, qPrintable(locale.name() + QLatin1Char(' ') + NowStamp(when, locale)));
        }
    }
}

void TestStamps::readSqlStamp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: no stamp
    const QDate day(2026, 12, 9);
    QTest::newRow("full") << "20261209 13:05:09" << QDateTime(day, QTime(13, 5, 9));
    QTest::newRow("one-digit hour") << "20261209 9:05:09" << QDateTime(day, QTime(9, 5, 9));
    QTest::newRow("no seconds") << "20261209 13:05" << QDateTime(day, QTime(13, 5));
    QTest::newRow("one-digit hour, no seconds") << "20261209 9:05" << QDateTime(day, QTime(9, 5));
    QTest::newRow("date alone") << "20261209" << QDateTime(day, QTime(0, 0));
    QTest::newRow("impossible date") << "20260231 10:00:00" << QDateTime();
    QTest::newRow("impossible hour") << "20261209 24:00:00" << QDateTime();
    QTest::newRow("letter in the time") << "20261209 1x:05:09" << QDateTime();
    QTest::newRow("trailing text") << "20261209 13:05:09x" << QDateTime();
    QTest::newRow("locale text") << "09.12.2026 13:05:09" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
}

void TestStamps::readSqlStamp()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const QDateTime read = FromSqlStamp(text);
    QCOMPARE(read.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(read.date(), expected.date());
        QCOMPARE(read.time(), expected.time());
    }
}

QTEST_GUILESS_MAIN(TestStamps)
#include "tst_stamps.moc"
