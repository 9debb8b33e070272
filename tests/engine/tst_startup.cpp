#include "core/CommandLine.h"
#include "engine/Engine.h"
#include "engine/Startup.h"
#include "engine/StartupUi.h"
#include "support/ManualTime.h"
#include "support/TestDatabase.h"

#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <unistd.h>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

// Records what the start-up shows, in order.
class RecordingUi final : public StartupUi
{
public:
    QStringList steps;
    bool iconFound = true;
    void showSplash() override { steps << "splash"; }
    void setSplashStatus(const QString& text) override { steps << "status:" + text; }
    void setSplashTitle(const QString& text) override { steps << "title:" + text; }
    void setWindowCaption(const QString& text) override { steps << "caption:" + text; }
    bool setWindowIcon(const QString& path) override
    {
        steps << "icon:" + path.section('/', -2);
        return iconFound;
    }
    void showTrayIcon() override { steps << "tray"; }
    void hideSplash() override { steps << "hide"; }
    bool showOperatorWindow(OperatorWindow window) override
    {
        steps << (window == OperatorWindow::ManualInput ? "window:input" : "window:sample choice");
        return true;
    }
};

struct Launch
{
    QTemporaryDir dir;
    QString ini;
    Test::ManualTime clock{QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40))};
    Settings settings; // as the last start-up left them

    explicit Launch(const QString& iniText)
    {
        ini = dir.filePath("quorlix.ini");
        QDir(dir.path()).mkpath("logs");
        QFile f(ini);
        f.open(QIODevice::WriteOnly);
        f.write(("ComLogPath=" + dir.path() + "/logs\n" + iniText).toUtf8());
    }
    StartupOutcome run(const QString& commandLine, StartupUi& ui)
    {
        Engine engine(clock, clock);
        engine.setLocale(QLocale(QLocale::German, QLocale::Germany));
        LaunchOptions options;
        options.configPath = ini;
        const StartupOutcome outcome = RunStartup(engine, ui, options, commandLine, dir.path());
        settings = engine.settings();
        engine.stop();
        return outcome;
    }
    QString logText(const QString& name)
    {
        QFile f(dir.filePath("logs/" + name));
        f.open(QIODevice::ReadOnly);
        return QString::fromLatin1(f.readAll());
    }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void rowsOnEmptyThenFilledDatabase_data() { Test::AddBackendRows(); }
    void rowsOnEmptyThenFilledDatabase();
    void stepsAndHeader();
    void failuresEndInOrder_data();
    void failuresEndInOrder();
    void inputStationTable();
    void unreadableFirstShiftIsReported_data();
    void unreadableFirstShiftIsReported();
    void statusTableOfAnEarlierRelease();
    void qualityControlTablesOfAnEarlierRelease();
};

void TestStartup::rowsOnEmptyThenFilledDatabase()
{
    QFETCH(QString, backend);
    TestDatabase db(backend);
    QVERIFY2(db.ok(), qPrintable(db.error()));
    Launch launch(db.iniLines());
    RecordingUi ui;
    QCOMPARE(launch.run("quorlix /id=HIT1 /type=H911", ui).message, QString());
    QCOMPARE(db.count("patients", "p_id = 1 AND si_id = 'NA'"), 1);
    QCOMPARE(db.count("quorlix_log", "log_key = 'Patient 1 insert' AND log_val = 'VANDREL_COM'"), 1);
    QCOMPARE(db.count("quorlix_log", "log_key = 'log_change'"), 1);
    QCOMPARE(db.count("quorlix_log", "log_key = 'd_change'"), 1);
    QCOMPARE(db.scalar("SELECT time_stamp FROM quorlix_log WHERE log_key = 'log_change'")
                 .left(16)
                 .replace('T', ' '),
             QString("2026-12-07 10:39"));

    // A second start on the same day: same file, a second log_change, no second patient.
    RecordingUi again;
    QCOMPARE(launch.run("quorlix /id=HIT1 /type=H911", again).message, QString());
    QCOMPARE(db.count("quorlix_log", "log_key = 'log_change'"), 2);
    QCOMPARE(db.count("quorlix_log", "log_key = 'Patient 1 insert'"), 1);
    QCOMPARE(db.count("patients"), 1);
    QCOMPARE(launch.logText("HIT1_20261207_log.txt").count("Vandrel Communication Module Started"), 2);
    // A new patient after the placeholder gets the next id.
    db.exec("INSERT INTO patients (si_id, surname) VALUES ('X1', 'Doe')");
    QCOMPARE(db.scalar("SELECT p_id FROM patients WHERE si_id = 'X1'"), QString("2"));
}

void TestStartup::stepsAndHeader()
{
    // The LIMS port is a pseudo-terminal, opened like a serial device.
    int master = -1;
    int slave = -1;
    char name[128] = {};
    QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
    TestDatabase db("sqlite");
    Launch launch(db.iniLines() + "com3=" + QString::fromLocal8Bit(name) + "\n");
    RecordingUi ui;
    ui.iconFound = false;
    QCOMPARE(
        launch.run("quorlix /id=Hitachi 911 /type=H911 /outtype=invH912 /outcom=3 /outid=LIMS /autoval=1", ui)
            .message,
        QString());
    QCOMPARE(ui.steps,
             (QStringList{"splash", "status:Loading ini ... ", "caption:Hitachi911 at serial port: com0",
                          "icon:icons/H911.ico", "title:Hitachi911 - Communication loading ... ",
                          "status:Initializing ... ", "tray", "status:Connecting 2 DB ... ",
                          "status:opening Logfile ... ", "hide"}));
    const QString log = launch.logText("Hitachi911_20261207_log.txt");
    QCOMPARE(log.section('\n', 0, 4),
             QString("Vandrel Communication Module Started : 07.12.2026 10:39:40\nConfig:\n"
                     "Analyser: Hitachi911 Type: H911 Com Port:  0\n"
                     "Out Analyser: LIMS Out Type: invH912 Out Com:  3: 1\n"
                     "Monitor: the icon %1/icons/H911.ico is missing; the default icon is shown")
                 .arg(launch.dir.path()));
    ::close(master);
    ::close(slave);
}

void TestStartup::failuresEndInOrder_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("test not a number") << ""
                                       << "/id=I /type=INPUT /test=GLU" << 2 << "/test=GLU";
    QTest::newRow("database unreachable")
        << "dbdriver=postgresql\nserver=127.0.0.1:1\ndatabase=lab\ndbpassword=pw1234"
        << "/id=H /type=H911" << 3 << "127.0.0.1";
    QTest::newRow("unknown driver") << "dbdriver=oracle"
                                    << "/id=H /type=H911" << 2 << "oracle";
    QTest::newRow("no switches") << ""
                                 << "" << 2 << "/id=NAME /type=TYPE";
    QTest::newRow("id missing") << ""
                                << "/type=H911" << 2 << "/id=NAME";
    QTest::newRow("type missing") << ""
                                  << "/id=H" << 2 << "/type=TYPE";
    QTest::newRow("type unknown") << ""
                                  << "/id=H /type=H999" << 2 << "\"H999\"";
    QTest::newRow("port not a number") << ""
                                       << "/id=H /type=H911 /com=abc" << 2 << "/com=abc";
    QTest::newRow("analyzer port missing") << "com7=/dev/quorlix-no-such-tty"
                                           << "/id=H /type=H911 /com=7" << 4 << "/dev/quorlix-no-such-tty";
    QTest::newRow("LIMS port bad settings") << "com2=/dev/ttyS1,9600,x"
                                            << "/id=H /type=H911 /outtype=invH912 /outcom=2" << 4 << "com2=";
    QTest::newRow("log folder missing") << "ComLogPath=/proc/quorlix/none"
                                        << "/id=H /type=H911" << 2 << "/proc/quorlix/none/";
}

void TestStartup::failuresEndInOrder()
{
    QFETCH(QString, ini);
    QFETCH(QString, commandLine);
    TestDatabase db("sqlite");
    Launch launch(db.iniLines() + ini);
    RecordingUi ui;
    const StartupOutcome outcome = launch.run("quorlix " + commandLine, ui);
    QTEST(outcome.exitCode, "exitCode");
    QFETCH(QString, mentions);
    QVERIFY2(outcome.message.contains(mentions), qPrintable(outcome.message));
    QVERIFY(!outcome.message.contains("pw1234"));
    QVERIFY2(!outcome.message.contains('\n') && !outcome.message.contains("QPSQL"),
             qPrintable(outcome.message));
}

void TestStartup::inputStationTable()
{
    TestDatabase db("sqlite");
    Launch launch(db.iniLines());
    RecordingUi ui;
    QCOMPARE(launch.run("quorlix /id=Station1 /type=INPUT /test=3", ui).message, QString());
    QVERIFY(ui.steps.endsWith("window:input"));
    // The input window and the ASTM answers read these later.
    QCOMPARE(launch.settings.InputTableName, QString("INPUT_Station1"));
    QCOMPARE(launch.settings.ComputerName, QSysInfo::machineHostName());
    QVERIFY(!launch.settings.ComputerName.isEmpty());
    db.exec("INSERT INTO INPUT_Station1 (sample_id, parameter_id) VALUES ('S1', 3)");
    RecordingUi again;
    QCOMPARE(launch.run("quorlix /id=Station1 /type=INPUT /test=3", again).message, QString());
    QCOMPARE(db.count("INPUT_Station1"), 1); // not recreated or emptied

    RecordingUi hostile;
    QCOMPARE(launch.run("quorlix /id=x;DROP /type=INPUT", hostile).exitCode, 3);
}

void TestStartup::unreadableFirstShiftIsReported_data()
{
    QTest::addColumn<QString>("firstShift");
    QTest::addColumn<QString>("monitor"); // empty: no line
    QTest::newRow("a time") << "06:00"
                            << "";
    QTest::newRow("a date and time") << "01.12.2026 06:00"
                                     << "";
    QTest::newRow("not given") << ""
                               << "";
    QTest::newRow("6h") << "6h"
                        << "firstshift \"6h\" cannot be read as a time; shifts are counted from 00:00";
}

void TestStartup::unreadableFirstShiftIsReported()
{
    QFETCH(QString, firstShift);
    QFETCH(QString, monitor);
    TestDatabase db("sqlite");
    Launch launch(db.iniLines() + "shiftlen=8\nfirstshift=" + firstShift + "\n");
    RecordingUi ui;
    QCOMPARE(launch.run("quorlix /id=H /type=H911", ui).message, QString());
    const QStringList lines = launch.logText("H_20261207_log.txt").split('\n').filter("firstshift");
    QCOMPARE(lines, monitor.isEmpty() ? QStringList{} : QStringList{"Monitor: " + monitor});
}

void TestStartup::qualityControlTablesOfAnEarlierRelease()
{
    TestDatabase db("sqlite");
    for (const char* table : {"control_targets", "control_rule_events", "qc_holds"})
        db.exec(QString("DROP TABLE %1").arg(table));
    Launch launch(db.iniLines() + "QcHold=1\n");
    RecordingUi ui;
    QCOMPARE(launch.run("quorlix /id=H /type=H911", ui).message, QString());
    QCOMPARE(db.count("qc_holds"), 0); // created
    QVERIFY(launch.settings.QcTables);
    QVERIFY(launch.settings.QcHold);

    // Where they cannot be created (here a view holds the name), the program runs without them.
    db.exec("DROP TABLE qc_holds");
    db.exec("CREATE VIEW qc_holds AS SELECT 1 AS parameter_id");
    RecordingUi again;
    QCOMPARE(launch.run("quorlix /id=H /type=H911", again).message, QString());
    QVERIFY(!launch.settings.QcTables);
    const QStringList lines = launch.logText("H_20261207_log.txt").split('\n').filter("quality control");
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith("Monitor: quality control is off: its tables are missing in the "),
             qPrintable(lines.first()));
}

void TestStartup::statusTableOfAnEarlierRelease()
{
    TestDatabase db("sqlite");
    db.exec("DROP TABLE analyzer_status");
    Launch launch(db.iniLines());
    RecordingUi ui;
    QCOMPARE(launch.run("quorlix /id=H /type=H911", ui).message, QString());
    QCOMPARE(db.count("analyzer_status"), 0); // created
    QVERIFY(launch.settings.Heartbeat);

    // Where it cannot be created (here a view holds the name), the instance runs without its row.
    db.exec("DROP TABLE analyzer_status");
    db.exec("CREATE VIEW analyzer_status AS SELECT 1 AS analyzer_id");
    RecordingUi again;
    QCOMPARE(launch.run("quorlix /id=H /type=H911", again).message, QString());
    QVERIFY(!launch.settings.Heartbeat);
    const QStringList lines = launch.logText("H_20261207_log.txt").split('\n').filter("status row");
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith("Monitor: no status row: the table analyzer_status is missing in the "),
             qPrintable(lines.first()));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
