// Where the MGC240's own database is, from the site settings.
#include "core/IniFile.h"
#include "core/Settings.h"
#include "drivers/dbexchange/MgcDatabase.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

class TestMgcDatabase : public QObject
{
    Q_OBJECT

private slots:
    void describe_data();
    void describe();
    void iniKeys();
};

void TestMgcDatabase::describe_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("accessPath");
    QTest::addColumn<QString>("odbc");
    QTest::addColumn<QString>("qtDriver");
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<QString>("error");
    const QString access = "DRIVER={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=";
    QTest::newRow("sqlite file beside the configuration") << "sqlite"
                                                          << "mgc/mgc240.db"
                                                          << ""
                                                          << "QSQLITE"
                                                          << "/etc/quorlix/mgc/mgc240.db"
                                                          << "";
#ifndef Q_OS_WIN
    QTest::newRow("sqlite by default here") << ""
                                            << "/data/mgc.db"
                                            << ""
                                            << "QSQLITE"
                                            << "/data/mgc.db"
                                            << "";
#endif
    QTest::newRow("access file") << "access"
                                 << "/mnt/mgc/Prestige.mdb"
                                 << ""
                                 << "QODBC" << access + "/mnt/mgc/Prestige.mdb;UID=admin;"
                                 << "";
    QTest::newRow("access file name with ; in braces") << "ACCESS"
                                                       << "/mnt/a;b.mdb"
                                                       << ""
                                                       << "QODBC" << access + "{/mnt/a;b.mdb};UID=admin;"
                                                       << "";
    QTest::newRow("odbc connection string") << "odbc"
                                            << ""
                                            << "DSN=mgc;PWD=secret"
                                            << "QODBC"
                                            << "DSN=mgc;PWD=secret"
                                            << "";
    QTest::newRow("odbc without mgcodbc") << "odbc"
                                          << ""
                                          << ""
                                          << "QODBC"
                                          << ""
                                          << "mgcdriver=odbc needs the connection string in the key mgcodbc";
    QTest::newRow("file missing") << "sqlite"
                                  << ""
                                  << ""
                                  << ""
                                  << ""
                                  << "the MGC240 database needs its file in the key AccessPath";
    QTest::newRow("unknown driver") << "mdb"
                                    << "x.mdb"
                                    << ""
                                    << ""
                                    << ""
                                    << "mgcdriver=mdb is not one of access, sqlite, odbc";
}

void TestMgcDatabase::describe()
{
    QFETCH(QString, driver);
    Settings s;
    s.MgcDriver = driver;
    QFETCH(QString, accessPath);
    s.AccessPath = accessPath;
    QFETCH(QString, odbc);
    s.MgcOdbcConnection = odbc;
    s.IniPath = "/etc/quorlix/quorlix.ini";
    const DatabaseTarget t = DescribeMgcDatabase(s);
    QTEST(t.error, "error");
    QTEST(t.qtDriver, "qtDriver");
    QTEST(t.databaseName, "databaseName");
    QVERIFY2(!t.description.contains("secret"), qPrintable(t.description));
}

// The connection string is taken whole, "=" included; AccessPath loses its "=" as every laboratory
// key does.
void TestMgcDatabase::iniKeys()
{
    QTemporaryDir dir;
    QFile ini(dir.filePath("quorlix.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("mgcdriver=odbc\nmgcodbc=DRIVER={Microsoft Access Driver "
              "(*.mdb)};DBQ=C:\\a=b.mdb\nAccessPath=C:\\a=b.mdb\n");
    ini.close();
    Settings s;
    QCOMPARE(ReadIniFile(ini.fileName(), s), QString());
    QCOMPARE(s.MgcDriver, QString("odbc"));
    QCOMPARE(s.MgcOdbcConnection, QString("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=C:\\a=b.mdb"));
    QCOMPARE(s.AccessPath, QString("C:\\ab.mdb"));
}

QTEST_GUILESS_MAIN(TestMgcDatabase)
#include "tst_mgcdatabase.moc"
