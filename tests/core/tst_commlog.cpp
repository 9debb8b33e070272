#include "core/Clock.h"
#include "core/CommLog.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

class TestCommLog : public QObject
{
    Q_OBJECT

private slots:
    void controlCharsToNames_data();
    void controlCharsToNames();
    void lineFormats_data();
    void lineFormats();
    void appendsToTheSameFile();
    void unopenableFileKeepsThePrevious();
    void windowLinesAreBounded();
    void bytesAreKeptInTheFile();

private:
    const QLocale m_locale{QLocale::German, QLocale::Germany};
    ManualClock m_clock{QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40))};
};

void TestCommLog::controlCharsToNames_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("frame") << QStringLiteral("\x02"
                                             "1H\r\x03")
                           << "{STX}1H{CR}{ETX}";
    QTest::newRow("all named") << QStringLiteral("\x02\x03\x04\x05\x06\n\r\x15\x17\x11")
                               << "{STX}{ETX}{EOT}{ENQ}{ACK}{LF}{CR}{NAK}{ETB}{DC1}";
    QTest::newRow("others pass through") << QStringLiteral("a\x0f"
                                                           "b\x1c"
                                                           "c")
                                         << QStringLiteral("a\x0f"
                                                           "b\x1c"
                                                           "c");
    QTest::newRow("braces that name nothing") << "{5}{STX{ST"
                                              << "{5}{STX{ST";
}

void TestCommLog::controlCharsToNames()
{
    QFETCH(QString, text);
    QTEST(ControlCharsToNames(text), "expected");
    // A replay reads the log back into the bytes that were on the line.
    QFETCH(QString, expected);
    QCOMPARE(NamesToControlChars(expected), text);
}

void TestCommLog::lineFormats_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("fileLine");
    QTest::addColumn<QString>("windowLine");
    const QString t = QStringLiteral("07.12.2026 10:39:40");
    QTest::newRow("analyzer to host") << 1 << t + "  A->H{STX}>{ETX}" << t + "  A->H{STX}>{ETX}";
    QTest::newRow("host to analyzer") << 2 << t + "  H->A{STX}>{ETX}" << t + "  H->A{STX}>{ETX}";
    QTest::newRow("monitor") << 3 << "Monitor: \x02>\x03"
                             << "Monitor: \x02>\x03";
    QTest::newRow("host to LIMS") << 4 << t + "  H->L{STX}>{ETX}" << t + "     H->L{STX}>{ETX}";
    QTest::newRow("LIMS to host") << 5 << t + "  L->H{STX}>{ETX}" << t + "     L->H{STX}>{ETX}";
    QTest::newRow("manual input") << 6 << t + "  INPUT: \x02>\x03" << t + "  INPUT: \x02>\x03";
    QTest::newRow("unknown direction") << 7 << ""
                                       << "";
}

void TestCommLog::lineFormats()
{
    QFETCH(int, direction);
    QFETCH(QString, fileLine);
    QFETCH(QString, windowLine);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    CommLog log(m_clock, m_locale);
    QCOMPARE(log.open(path), QString());
    QSignalSpy spy(&log, &CommLog::windowLine);
    log.logall(QStringLiteral("\x02>\x03"), direction);
    log.close();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(file.readAll()),
             fileLine.isEmpty() ? QString() : fileLine + QLatin1Char('\n'));
    QCOMPARE(spy.count(), windowLine.isEmpty() ? 0 : 1);
    if (!windowLine.isEmpty())
        QCOMPARE(spy.at(0).at(0).toString(), windowLine);
}

void TestCommLog::appendsToTheSameFile()
{
    QTemporaryDir dir;
    const QString path =
        CommLog::FileName(dir.path() + QLatin1Char('/'), QStringLiteral("HIT1"), QStringLiteral("20261207"));
    QCOMPARE(path, dir.path() + QStringLiteral("/HIT1_20261207_log.txt"));
    for (int run = 0; run < 2; ++run) {
        CommLog log(m_clock, m_locale);
        QCOMPARE(log.open(path), QString());
        log.monitor(QStringLiteral("run %1").arg(run));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Monitor: run 0\nMonitor: run 1\n"));
}

void TestCommLog::unopenableFileKeepsThePrevious()
{
    QTemporaryDir dir;
    CommLog log(m_clock, m_locale);
    const QString good = dir.filePath(QStringLiteral("a.txt"));
    QCOMPARE(log.open(good), QString());
    const QString error = log.open(dir.filePath(QStringLiteral("missing/folder/b.txt")));
    QVERIFY(error.contains(QStringLiteral("missing/folder/b.txt")));
    QCOMPARE(log.filePath(), good);
    log.monitor(QStringLiteral("still here"));
    log.close();
    QFile file(good);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Monitor: still here\n"));
}

void TestCommLog::windowLinesAreBounded()
{
    CommLog log(m_clock, m_locale);
    for (int i = 0; i < CommLog::MaxRecentLines + 10; ++i)
        log.monitor(QString::number(i));
    const QStringList lines = log.recentLines();
    QCOMPARE(lines.size(), CommLog::MaxRecentLines);
    QCOMPARE(lines.first(), QStringLiteral("Monitor: %1").arg(CommLog::MaxRecentLines + 9)); // newest on top
}

void TestCommLog::bytesAreKeptInTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    CommLog log(m_clock, m_locale);
    QCOMPARE(log.open(path), QString());
    QString text;
    for (int b = 0x80; b <= 0xFF; ++b)
        text += QChar(b);
    log.logall(text, Direction::AnalyzerToHost);
    log.close();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith(text.toLatin1() + '\n'));
}

QTEST_GUILESS_MAIN(TestCommLog)
#include "tst_commlog.moc"
