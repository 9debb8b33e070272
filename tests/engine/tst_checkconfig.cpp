#include "core/CommandLine.h"
#include "core/SchemaInit.h"
#include "core/Settings.h"
#include "drivers/dbexchange/MgcDatabase.h"
#include "engine/CheckConfig.h"
#include "support/PtyPeer.h"
#include "support/TestDatabase.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

class TestCheckConfig : public QObject
{
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
    void spoolAndQuarantineCounted();
    void tablesTheStartCreatesAreNoFailure();
};

void TestCheckConfig::checks_data()
{
    QTest::addColumn<QString>("ini"); // {logs}, {pty} are filled in
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("tables"); // the schema is created
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("failed"); // the first FAILED line contains this
    QTest::newRow("all well") << "com1={pty}"
                              << "/id=H1 /type=H911 /com=1" << true << 0 << "";
    QTest::newRow("type in lower case") << ""
                                        << "/id=H1 /type=h911" << true << 2 << "type \"h911\"";
    QTest::newRow("test not a number") << ""
                                       << "/id=I /type=INPUT /test=abc" << true << 2 << "/test=abc";
    QTest::newRow("no tables") << ""
                               << "/id=H1 /type=H911" << false << 3 << "tables missing";
    QTest::newRow("database not reachable, password not shown")
        << "dbdriver=postgresql\nserver=127.0.0.1:1\ndatabase=lab\ndbpassword=secret99"
        << "/id=H1 /type=H911" << true << 3 << "127.0.0.1";
    QTest::newRow("port missing") << "com3=/dev/quorlix-absent"
                                  << "/id=H1 /type=H911 /com=3" << true << 4 << "/dev/quorlix-absent";
    // The MGC240's own database, beside the ini file: mgc.db with its tables, empty.db without.
    const QString mgc = "/id=M1 /type=MGC";
    QTest::newRow("MGC240 database well") << "mgcdriver=sqlite\nAccessPath=mgc.db" << mgc << true << 0 << "";
    QTest::newRow("MGC240 database file missing") << "mgcdriver=sqlite\nAccessPath=absent.db" << mgc << true
                                                  << 3 << "absent.db (SQLite) does not exist";
    QTest::newRow("MGC240 Access file missing")
        << "mgcdriver=access\nAccessPath=absent.mdb" << mgc << true << 3 << "absent.mdb does not exist";
    QTest::newRow("MGC240 database without its tables")
        << "mgcdriver=sqlite\nAccessPath=empty.db" << mgc << true << 3
        << "tables missing in the MGC240 database: samp_odr, samp_dat, itempara, calib";
    QTest::newRow("MGC240 ODBC string unusable")
        << "mgcdriver=odbc\nmgcodbc=DRIVER={Quorlix No Such Driver};" << mgc << true << 3 << "MGC240";
    QTest::newRow("MGC240 ODBC string missing") << "mgcdriver=odbc" << mgc << true << 2 << "mgcodbc";
    QTest::newRow("MGC online: laboratory tables only") << "mgcdriver=sqlite\nAccessPath=absent.db"
                                                        << "/id=M1 /type=MGC_ONLINE" << true << 0 << "";
    QTest::newRow("no switches") << ""
                                 << "" << true << 2 << "/id=NAME /type=TYPE";
    QTest::newRow("id missing") << ""
                                << "/type=H911" << true << 2 << "/id=NAME";
    QTest::newRow("port not a number") << ""
                                       << "/id=H1 /type=H911 /com=abc" << true << 2 << "/com=abc";
    QTest::newRow("unknown database driver") << "dbdriver=postgres"
                                             << "/id=H1 /type=H911" << true << 2 << "dbdriver=postgres";
    QTest::newRow("log folder missing") << "ComLogPath=/proc/quorlix-none"
                                        << "/id=H1 /type=H911" << true << 2 << "log folder";
}

void TestCheckConfig::checks()
{
    QFETCH(QString, ini);
    QFETCH(QString, commandLine);
    QFETCH(bool, tables);
    QTemporaryDir dir;
    Test::PtyPeer pty;
    Test::TestDatabase db("sqlite");
    QVERIFY2(db.ok(), qPrintable(db.error()));
    if (!tables) {
        const QStringList names = db.db().handle().tables();
        for (const QString& table : names) {
            if (!table.startsWith("sqlite_"))
                db.exec("DROP TABLE " + table);
        }
    }
    {
        Settings mgc;
        mgc.MgcDriver = "sqlite";
        mgc.AccessPath = dir.filePath("mgc.db");
        Database mgcDb("tst-mgc240");
        QCOMPARE(mgcDb.open(DescribeMgcDatabase(mgc)), QString());
        QCOMPARE(mgcDb.runScript(SchemaScript(mgcDb, true)), QString());
        QVERIFY(QFile(dir.filePath("empty.db")).open(QIODevice::WriteOnly));
    }
    const QString iniPath = dir.filePath("quorlix.ini");
    QFile file(iniPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QString text = "ComLogPath=" + dir.path() + "\n" + db.iniLines() + "\n" + ini;
    file.write(text.replace("{pty}", pty.slaveName()).toUtf8());
    file.close();

    LaunchOptions options;
    options.configPath = iniPath;
    QStringList lines;
    const int code = CheckConfig(options, commandLine, dir.path(), &lines);
    QTEST(code, "exitCode");
    QFETCH(QString, failed);
    const QStringList failures = lines.filter("FAILED: ");
    if (failed.isEmpty())
        QCOMPARE(failures, QStringList{});
    else
        QVERIFY2(!failures.isEmpty() && failures.first().contains(failed), qPrintable(lines.join('\n')));
    QVERIFY(!lines.join('\n').contains("secret99"));
    for (const QString& line : std::as_const(lines))
        QVERIFY2(!line.contains('\n') && !line.contains("QPSQL"), qPrintable(line));
}

void TestCheckConfig::spoolAndQuarantineCounted()
{
    QTemporaryDir dir;
    Test::TestDatabase db("sqlite");
    QVERIFY2(db.ok(), qPrintable(db.error()));
    const QString iniPath = dir.filePath("quorlix.ini");
    QFile ini(iniPath);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(("ComLogPath=" + dir.path() + "/\n" + db.iniLines()).toUtf8());
    ini.close();
    // Two records of H1 waiting, one of the naming before; one of H2 (another process's); one of
    // H1 refused.
    const QByteArray record = R"({"format": 1, "settings": {"AnalyzerId": "H1"}})";
    QVERIFY(QDir(dir.path()).mkpath("spool/bad"));
    for (const char* name :
         {"spool/000000000001-H1.json", "spool/000000000002-H1.json", "spool/000000000007.json",
          "spool/000000000001-H2.json", "spool/bad/000000000003-H1.json"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(record);
    }

    LaunchOptions options;
    options.configPath = iniPath;
    QStringList lines;
    QCOMPARE(CheckConfig(options, "/id=H1 /type=H911", dir.path(), &lines), 0);
    QCOMPARE(lines.filter("spool").size(), 2);
    QVERIFY2(lines.contains("ok: spool " + dir.filePath("spool") + ": 3 record(s) waiting to be stored"),
             qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("ok: quarantine " + dir.filePath("spool/bad") +
                            ": 1 record(s) refused by the database (moved back into the spool, they are "
                            "stored again)"),
             qPrintable(lines.join('\n')));
}

void TestCheckConfig::tablesTheStartCreatesAreNoFailure()
{
    // A database of an earlier release: the interface adds these tables when it starts.
    QTemporaryDir dir;
    Test::TestDatabase db("sqlite");
    QVERIFY2(db.ok(), qPrintable(db.error()));
    for (const char* table : {"analyzer_status", "qc_holds"})
        db.exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table)));
    const QString iniPath = dir.filePath("quorlix.ini");
    QFile file(iniPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(("ComLogPath=" + dir.path() + "\n" + db.iniLines()).toUtf8());
    file.close();
    LaunchOptions options;
    options.configPath = iniPath;
    QStringList lines;
    QCOMPARE(CheckConfig(options, "/id=H1 /type=H911", dir.path(), &lines), 0);
    QVERIFY2(lines.filter("FAILED").isEmpty(), qPrintable(lines.join('\n')));
    QVERIFY2(!lines.filter("the interface creates qc_holds, analyzer_status at its start").isEmpty(),
             qPrintable(lines.join('\n')));
}

QTEST_GUILESS_MAIN(TestCheckConfig)
#include "tst_checkconfig.moc"
