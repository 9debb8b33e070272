#include "app/CheckConfig.h"
#include "core/CommandLine.h"
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
}

QTEST_GUILESS_MAIN(TestCheckConfig)
#include "tst_checkconfig.moc"
