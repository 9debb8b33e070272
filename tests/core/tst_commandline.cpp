#include "core/CommandLine.h"
#include "core/IniFile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void switches_data();
    void switches();
    void nonNumericTestIsRejected();
    void portWithoutNumberIsRejected_data();
    void portWithoutNumberIsRejected();
    void oneLine();
    void launchOptions();
    void qcReportOptions_data();
    void qcReportOptions();
    void statusOptions_data();
    void statusOptions();
    void iniLines_data();
    void iniLines();
    void missingIniIsCreated();
    void findIniFileOrder();
};

void TestCommandLine::switches_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("com"); // -1: not given
    QTest::addColumn<QString>("outType");
    QTest::addColumn<int>("outCom"); // -1: not given
    QTest::addColumn<QString>("outId");
    QTest::addColumn<QString>("autoVal");

    QTest::newRow("full example")
        << "/id=AU 1 /type=OAU400 /com=2 /outtype=invOAU400 /outcom=3 /outid=LIMS /autoval=1"
        << "AU1"
        << "OAU400" << 2 << "invOAU400" << 3 << "LIMS"
        << "1";
    QTest::newRow("blanks removed from id") << "quorlix /id=Hitachi 911 /com=1"
                                            << "Hitachi911"
                                            << "" << 1 << "" << -1 << ""
                                            << "";
    QTest::newRow("no slash sets nothing") << "id=H1 type=H911"
                                           << ""
                                           << "" << -1 << "" << -1 << ""
                                           << "";
    QTest::newRow("keys are case-sensitive") << "/ID=x /Type=H911 /id=y"
                                             << "y"
                                             << "" << -1 << "" << -1 << ""
                                             << "";
    QTest::newRow("blank before key not recognised") << "/ id=x /type=H911"
                                                     << ""
                                                     << "H911" << -1 << "" << -1 << ""
                                                     << "";
    QTest::newRow("later switch wins") << "/id=a /id=b /com=1 /com=4"
                                       << "b"
                                       << "" << 4 << "" << -1 << ""
                                       << "";
    QTest::newRow("equals signs dropped") << "/id=a=b"
                                          << "ab"
                                          << "" << -1 << "" << -1 << ""
                                          << "";
    QTest::newRow("port read to its first non-digit") << "/com=2x /outcom=3b"
                                                      << ""
                                                      << "" << 2 << "" << 3 << ""
                                                      << "";
    QTest::newRow("blank ends a number") << "/com=1 2"
                                         << ""
                                         << "" << 1 << "" << -1 << ""
                                         << "";
    QTest::newRow("switch without value") << "/id /type=H902"
                                          << ""
                                          << "H902" << -1 << "" << -1 << ""
                                          << "";
}

void TestCommandLine::switches()
{
    QFETCH(QString, commandLine);
    Settings s;
    QCOMPARE(ParseCommandLine(commandLine, s), QString());
    QTEST(s.AnalyzerId, "id");
    QTEST(s.AnalyzerType, "type");
    QTEST(s.AnalyzerComPort.value_or(-1), "com");
    QTEST(s.OutType, "outType");
    QTEST(s.OutComPort.value_or(-1), "outCom");
    QTEST(s.OutId, "outId");
    QTEST(s.AutoVal, "autoVal");
}

void TestCommandLine::nonNumericTestIsRejected()
{
    Settings s;
    QVERIFY(!ParseCommandLine(QStringLiteral("/type=INPUT /test=GLU"), s).isEmpty());
    QVERIFY(!s.InputParameterId.has_value());
    QVERIFY(!ParseCommandLine(QStringLiteral("/test=70000"), s).isEmpty());
    QCOMPARE(ParseCommandLine(QStringLiteral("/test= 1 2"), s), QString());
    QCOMPARE(*s.InputParameterId, qint16(12));
}

void TestCommandLine::portWithoutNumberIsRejected_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::newRow("letters") << "/id=H /com=abc"
                             << "/com=abc is not a port number";
    QTest::newRow("empty") << "/id=H /com= /type=H911"
                           << "/com= is not a port number";
    QTest::newRow("LIMS port") << "/outcom=x2"
                               << "/outcom=x2 is not a port number";
    QTest::newRow("number with blank") << "/com= 3 /outcom=4"
                                       << "";
}

void TestCommandLine::portWithoutNumberIsRejected()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, error);
    Settings s;
    const QString result = ParseCommandLine(commandLine, s);
    if (error.isEmpty())
        QCOMPARE(result, QString());
    else
        QVERIFY2(result.startsWith(error), qPrintable(result));
}

void TestCommandLine::oneLine()
{
    QCOMPARE(OneLine("connection refused\n\tIs the server running?\n\nQPSQL: x\n"),
             QString("connection refused; Is the server running?; QPSQL: x"));
    QCOMPARE(OneLine("one line"), QString("one line"));
}

void TestCommandLine::launchOptions()
{
    QStringList args{QStringLiteral("--config"), QStringLiteral("/tmp/q.ini"), QStringLiteral("/id=A"),
                     QStringLiteral("--headless"), QStringLiteral("/type=H911")};
    LaunchOptions o = TakeLaunchOptions(args);
    QCOMPARE(o.configPath, QStringLiteral("/tmp/q.ini"));
    QVERIFY(o.headless);
    QCOMPARE(args, (QStringList{QStringLiteral("/id=A"), QStringLiteral("/type=H911")}));

    QStringList clock{QStringLiteral("--clock-start"), QStringLiteral("2026-12-07T13:59:30")};
    QCOMPARE(TakeLaunchOptions(clock).clockStart, QDateTime(QDate(2026, 12, 7), QTime(13, 59, 30)));
    QStringList badClock{QStringLiteral("--clock-start"), QStringLiteral("soon")};
    QVERIFY(!TakeLaunchOptions(badClock).error.isEmpty());

    QStringList bad{QStringLiteral("--frobnicate")};
    QVERIFY(!TakeLaunchOptions(bad).error.isEmpty());
    QStringList missing{QStringLiteral("--config")};
    QVERIFY(!TakeLaunchOptions(missing).error.isEmpty());
}

void TestCommandLine::qcReportOptions_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("error"); // a part of the error text, empty when the options are good
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("out");

    QTest::newRow("CSV on stdout") << "--qc-report --from 2026-12-01 --to 2026-12-31 /id=H911"
                                   << ""
                                   << "2026-12-01"
                                   << "2026-12-31"
                                   << "";
    QTest::newRow("one day") << "--qc-report --from 2026-12-07 --to 2026-12-07"
                             << ""
                             << "2026-12-07"
                             << "2026-12-07"
                             << "";
    QTest::newRow("CSV file") << "--qc-report --from 2026-12-01 --to 2026-12-31 --out /tmp/qc.csv"
                              << ""
                              << "2026-12-01"
                              << "2026-12-31"
                              << "/tmp/qc.csv";
    QTest::newRow("PDF file, upper case") << "--out QC.PDF --to 2026-12-31 --from 2026-12-01 --qc-report"
                                          << ""
                                          << "2026-12-01"
                                          << "2026-12-31"
                                          << "QC.PDF";
    QTest::newRow("no --to") << "--qc-report --from 2026-12-01"
                             << "needs --from DATE and --to DATE"
                             << ""
                             << ""
                             << "";
    QTest::newRow("no dates") << "--qc-report"
                              << "needs --from DATE and --to DATE"
                              << ""
                              << ""
                              << "";
    QTest::newRow("days in the wrong order") << "--qc-report --from 2026-12-31 --to 2026-12-01"
                                             << "is after"
                                             << ""
                                             << ""
                                             << "";
    QTest::newRow("a day the calendar lacks") << "--qc-report --from 2026-02-30 --to 2026-03-01"
                                              << "--from needs a day"
                                              << ""
                                              << ""
                                              << "";
    QTest::newRow("a day-first date") << "--qc-report --from 01.12.2026 --to 2026-12-31"
                                      << "--from needs a day"
                                      << ""
                                      << ""
                                      << "";
    QTest::newRow("a date without its value") << "--qc-report --from 2026-12-01 --to"
                                              << "--to needs a day"
                                              << ""
                                              << ""
                                              << "";
    QTest::newRow("--out without a file") << "--qc-report --from 2026-12-01 --to 2026-12-31 --out"
                                          << "--out needs a file name"
                                          << ""
                                          << ""
                                          << "";
    QTest::newRow("unknown report format") << "--qc-report --from 2026-12-01 --to 2026-12-31 --out qc.xlsx"
                                           << "FILE.csv or FILE.pdf"
                                           << ""
                                           << ""
                                           << "";
    QTest::newRow("dates without --qc-report") << "--headless --from 2026-12-01 --to 2026-12-31 /id=H911"
                                               << "used together with --qc-report"
                                               << ""
                                               << ""
                                               << "";
    QTest::newRow("report and service at once") << "--qc-report --headless --from 2026-12-01 --to 2026-12-31"
                                                << "used without --headless"
                                                << ""
                                                << ""
                                                << "";
}

void TestCommandLine::qcReportOptions()
{
    QFETCH(QString, args);
    QFETCH(QString, error);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, out);
    QStringList list = args.split(QLatin1Char(' '));
    const LaunchOptions o = TakeLaunchOptions(list);
    if (!error.isEmpty()) {
        QVERIFY2(o.error.contains(error), qPrintable(o.error));
        return;
    }
    QCOMPARE(o.error, QString());
    QVERIFY(o.qcReport);
    QCOMPARE(o.qcFrom, QDate::fromString(from, Qt::ISODate));
    QCOMPARE(o.qcTo, QDate::fromString(to, Qt::ISODate));
    QCOMPARE(o.qcOut, out);
}

void TestCommandLine::statusOptions_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("error"); // a part of the error text, empty when the options are good
    QTest::addColumn<bool>("json");

    QTest::newRow("table") << "--status"
                           << "" << false;
    QTest::newRow("JSON, one analyzer") << "--json /id=H911 --status"
                                        << "" << true;
    QTest::newRow("--json alone") << "--json"
                                  << "used together with --status" << false;
    QTest::newRow("status and service at once") << "--status --headless"
                                                << "used without --headless" << false;
    QTest::newRow("status and a report at once") << "--status --qc-report --from 2026-12-01 --to 2026-12-31"
                                                 << "used without" << false;
}

void TestCommandLine::statusOptions()
{
    QFETCH(QString, args);
    QFETCH(QString, error);
    QStringList list = args.split(QLatin1Char(' '));
    const LaunchOptions o = TakeLaunchOptions(list);
    if (!error.isEmpty()) {
        QVERIFY2(o.error.contains(error), qPrintable(o.error));
        return;
    }
    QCOMPARE(o.error, QString());
    QVERIFY(o.status);
    QTEST(o.json, "json");
}

void TestCommandLine::iniLines_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ComLogPath gets separator") << "ComLogPath=/var/log/q"
                                               << "ComLogPath"
                                               << "/var/log/q/";
    QTest::newRow("COMLOGPATH keeps one separator") << "COMLOGPATH=/var/log/q/"
                                                    << "ComLogPath"
                                                    << "/var/log/q/";
    QTest::newRow("backslash accepted as separator") << "COMLOGPATH=C:\\logs\\"
                                                     << "ComLogPath"
                                                     << "C:\\logs\\";
    QTest::newRow("lower-case key ignored") << "comlogpath=/x"
                                            << "ComLogPath"
                                            << "";
    QTest::newRow("comment line skipped") << ";server=db1"
                                          << "server"
                                          << "";
    QTest::newRow("section line skipped") << "[server=db1]"
                                          << "server"
                                          << "";
    QTest::newRow("sections mean nothing") << "[db]\nserver=db1"
                                           << "server"
                                           << "db1";
    QTest::newRow("equals dropped from value") << "AccessPath=a=b"
                                               << "AccessPath"
                                               << "ab";
    QTest::newRow("Analyzer gets prefix") << "Analyzer=07"
                                          << "Analyzer"
                                          << "MGC240-07";
    QTest::newRow("blanks around = break the key") << "server = db1"
                                                   << "server"
                                                   << "";
    QTest::newRow("later key wins") << "server=a\nserver=b"
                                    << "server"
                                    << "b";
    QTest::newRow("whole-line key empties the setting") << "server=a\nserver"
                                                        << "server"
                                                        << "";
    QTest::newRow("showcalibchart default") << ""
                                            << "showcalibchart"
                                            << "0";
    QTest::newRow("shiftlen numeric") << "shiftlen=8h"
                                      << "shiftlen"
                                      << "8";
    QTest::newRow("shiftlen not numeric") << "shiftlen=x"
                                          << "shiftlen"
                                          << "0";
    QTest::newRow("com device") << "com3=/dev/ttyUSB0,9600,e,7,2"
                                << "com3"
                                << "/dev/ttyUSB0,9600,e,7,2";
    QTest::newRow("odbc keeps its equals signs") << "odbc=DRIVER=x;UID=a"
                                                 << "odbc"
                                                 << "DRIVER=x;UID=a";
    QTest::newRow("heartbeat on by default") << ""
                                             << "heartbeat"
                                             << "1";
    QTest::newRow("heartbeat=0 turns the status row off") << "heartbeat=0"
                                                          << "heartbeat"
                                                          << "0";
    QTest::newRow("heartbeat=1") << "heartbeat=1"
                                 << "heartbeat"
                                 << "1";
    QTest::newRow("CRLF line ends") << "server=db1\r\nSQLSVR=2000 \r\n"
                                    << "SQLSVR"
                                    << "2000 ";
}

void TestCommandLine::iniLines()
{
    QFETCH(QString, ini);
    QFETCH(QString, field);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quorlix.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ini.toUtf8());
    file.close();

    Settings s;
    QCOMPARE(ReadIniFile(path, s), QString());
    const QHash<QString, QString> values{
        {QStringLiteral("ComLogPath"), s.ComLogPath},
        {QStringLiteral("server"), s.SqlServer},
        {QStringLiteral("AccessPath"), s.AccessPath},
        {QStringLiteral("Analyzer"), s.Mgc240Name},
        {QStringLiteral("showcalibchart"), s.ShowCalibChart},
        {QStringLiteral("shiftlen"), QString::number(s.ShiftLength)},
        {QStringLiteral("com3"), s.ComDevices.value(3)},
        {QStringLiteral("SQLSVR"), s.SqlLoginMode},
        {QStringLiteral("odbc"), s.OdbcConnection},
        {QStringLiteral("heartbeat"), s.Heartbeat ? QStringLiteral("1") : QStringLiteral("0")},
    };
    QTEST(values.value(field), "expected");
}

void TestCommandLine::missingIniIsCreated()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quorlix.ini"));
    Settings s;
    QCOMPARE(ReadIniFile(path, s), QString());
    QVERIFY(QFile::exists(path));
    QCOMPARE(s.ShowCalibChart, QStringLiteral("0"));
}

void TestCommandLine::findIniFileOrder()
{
    QTemporaryDir dir;
    QCOMPARE(FindIniFile(QStringLiteral("/x/given.ini"), dir.path()), QStringLiteral("/x/given.ini"));
    QCOMPARE(FindIniFile(QString(), dir.path()), QStringLiteral("/etc/quorlix/quorlix.ini"));
    QFile beside(dir.filePath(QStringLiteral("quorlix.ini")));
    QVERIFY(beside.open(QIODevice::WriteOnly));
    beside.close();
    QCOMPARE(FindIniFile(QString(), dir.path()), dir.filePath(QStringLiteral("quorlix.ini")));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
