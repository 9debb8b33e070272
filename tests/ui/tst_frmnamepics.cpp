// Naming a dropped sample picture: the barcode typed into frmNamePics, the files of the drop and
// day folders, and the SAMPLE_PICS rows.
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Settings.h"
#include "support/TestDatabase.h"
#include "ui/frmNamePics.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

struct Drop
{
    Drop() : tdb("sqlite")
    {
        settings.PicSavePath = dir.path();
        settings.AnalyzerId = "ST1";
    }
    void picture(const QString& name)
    {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write("\xff\xd8 picture " + name.toLatin1());
    }
    // Opens the window, scans the id and presses Enter; the messages shown.
    QStringList scan(const QString& id)
    {
        frmNamePics window(tdb.db(), log, settings, clock, "TECH1");
        window.setNotify([this](const QString& text) { messages << text; });
        window.show();
        QTest::keyClicks(window.txtSampleID(), id);
        QTest::keyClick(window.txtSampleID(), Qt::Key_Return);
        closed = !window.isVisible();
        selected = window.txtSampleID()->selectedText();
        return std::exchange(messages, {});
    }
    QStringList files(const QString& folder) const { return QDir(folder).entryList(QDir::Files, QDir::Name); }
    QString day() const { return dir.filePath("20261207"); }

    QTemporaryDir dir;
    TestDatabase tdb;
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40))};
    QLocale locale{QLocale::German, QLocale::Germany};
    CommLog log{clock, locale};
    Settings settings;
    QStringList messages;
    bool closed = false;
    QString selected;
};

} // namespace

class TestFrmNamePics : public QObject
{
    Q_OBJECT

private slots:
    void pictures_data();
    void pictures();
    void takenNamesGetASuffix();
    void refusedIds_data();
    void refusedIds();
    void escapeKeepsTheWindowOpen();
    void dropFolder_data();
    void dropFolder();
    void failedMoveLeavesThePicture_data();
    void failedMoveLeavesThePicture();
};

void TestFrmNamePics::pictures_data()
{
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("inDayFolder");
    QTest::addColumn<int>("rows");
    QTest::newRow("none") << QStringList{"notes.txt"} << QStringList{"No .jpg file existing."}
                          << QStringList{} << 0;
    QTest::newRow("one") << QStringList{"IMG_0001.jpg", "notes.txt"} << QStringList{} << QStringList{"S1.jpg"}
                         << 1;
    QTest::newRow("one, in capitals")
        << QStringList{"PICTURE.JPG"} << QStringList{} << QStringList{"S1.jpg"} << 1;
    QTest::newRow("several") << QStringList{"a.jpg", "b.Jpg", "c.jpg"}
                             << QStringList{"3 .jpg files existing. Please do cleanup"} << QStringList{} << 0;
}

void TestFrmNamePics::pictures()
{
    QFETCH(QStringList, dropped);
    Drop drop;
    QVERIFY(drop.tdb.ok());
    for (const QString& name : dropped)
        drop.picture(name);
    QTEST(drop.scan("S1"), "messages");
    QVERIFY(drop.closed);
    QTEST(drop.files(drop.day()), "inDayFolder");
    QFETCH(int, rows);
    QCOMPARE(drop.tdb.count("SAMPLE_PICS"), rows);
    if (rows == 1) {
        QCOMPARE(drop.tdb.scalar("SELECT SAMPLE_ID || '|' || SAVE_PATH || '|' || USER_ID FROM SAMPLE_PICS"),
                 "S1|" + drop.day() + "|TECH1");
        QCOMPARE(drop.tdb.scalar("SELECT TIME_STAMP FROM SAMPLE_PICS").left(19).replace('T', ' '),
                 QString("2026-12-07 10:39:40"));
        QCOMPARE(drop.files(drop.dir.path()), dropped.filter(".txt"));
    }
}

void TestFrmNamePics::takenNamesGetASuffix()
{
    Drop drop;
    QVERIFY(drop.tdb.ok());
    for (int n = 0; n < 3; ++n) {
        drop.picture("shot.jpg");
        QCOMPARE(drop.scan("S1"), QStringList());
    }
    // A second picture of the sample on the same day is S1_0.jpg, a third S1_1.jpg.
    QCOMPARE(drop.files(drop.day()), QStringList({"S1.jpg", "S1_0.jpg", "S1_1.jpg"}));
    QCOMPARE(drop.tdb.count("SAMPLE_PICS"), 3);
}

void TestFrmNamePics::refusedIds_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("refusal"); // the message; empty: refused silently, or taken
    QTest::addColumn<bool>("taken");
    const auto unsafe = [](const QString& id, const QString& why) {
        QTest::newRow(qPrintable(id))
            << id << "The barcode \"" + id + "\" cannot name a picture: " + why << false;
    };
    QTest::newRow("a blank: selected for the next scan") << "S 1"
                                                         << "" << false;
    QTest::newRow("a quote: selected for the next scan") << "S'1"
                                                         << "" << false;
    unsafe("../S1", "it contains \"/\".");
    unsafe("S\\1", "it contains \"\\\".");
    for (const QString& c : QStringList{":", "<", ">", "|", "?", "\"", "*"})
        unsafe("S1" + c + "x", "it contains \"" + c + "\".");
    unsafe("S1..2", "it contains \"..\".");
    for (const QString& id :
         QStringList{"CON", "con.txt", "Prn", "AUX", "nul.tar.gz", "COM1", "com9", "LPT1.x"})
        unsafe(id, "it is a device name on Windows.");
    QTest::newRow("CONSOLE is no device") << "CONSOLE"
                                          << "" << true;
    QTest::newRow("COM10 is no device") << "COM10"
                                        << "" << true;
    QTest::newRow("a single dot") << "S1.2"
                                  << "" << true;
}

void TestFrmNamePics::refusedIds()
{
    QFETCH(QString, id);
    QFETCH(QString, refusal);
    QFETCH(bool, taken);
    Drop drop;
    QVERIFY(drop.tdb.ok());
    drop.picture("shot.jpg");
    QCOMPARE(drop.scan(id), refusal.isEmpty() ? QStringList() : QStringList{refusal});
    QCOMPARE(drop.closed, taken);
    QCOMPARE(drop.files(drop.day()), taken ? QStringList{id + ".jpg"} : QStringList());
    if (!taken) {
        QCOMPARE(drop.selected, id); // the next scan replaces it
        QCOMPARE(drop.files(drop.dir.path()), QStringList{"shot.jpg"});
    }
}

void TestFrmNamePics::escapeKeepsTheWindowOpen()
{
    Drop drop;
    QVERIFY(drop.tdb.ok());
    frmNamePics window(drop.tdb.db(), drop.log, drop.settings, drop.clock, "TECH1");
    window.show();
    QTest::keyClicks(window.txtSampleID(), "S1");
    QTest::keyClick(window.txtSampleID(), Qt::Key_Escape);
    QCOMPARE(window.txtSampleID()->text(), QString());
    QVERIFY(window.isVisible());
}

void TestFrmNamePics::dropFolder_data()
{
    QTest::addColumn<QString>("picSavePath");
    QTest::addColumn<QString>("message"); // %1: the temporary folder
    QTest::newRow("relative: beside the ini file, wherever the program started") << "drop"
                                                                                 << "";
    QTest::newRow("missing: said so") << "gone"
                                      << "The picture folder %1/gone does not exist.";
}

void TestFrmNamePics::dropFolder()
{
    QFETCH(QString, picSavePath);
    QFETCH(QString, message);
    Drop drop;
    QVERIFY(drop.tdb.ok());
    QVERIFY(QDir(drop.dir.path()).mkdir("drop"));
    drop.settings.IniPath = drop.dir.filePath("quorlix.ini");
    drop.settings.PicSavePath = picSavePath;
    drop.picture("drop/shot.jpg");
    QCOMPARE(drop.scan("S1"), message.isEmpty() ? QStringList() : QStringList{message.arg(drop.dir.path())});
    QCOMPARE(drop.files(drop.dir.filePath("drop/20261207")),
             message.isEmpty() ? QStringList{"S1.jpg"} : QStringList());
}

void TestFrmNamePics::failedMoveLeavesThePicture_data()
{
    QTest::addColumn<QString>("dayFolder"); // what stands where the day folder belongs
    QTest::newRow("a file: the folder cannot be made") << "file";
    QTest::newRow("a folder no file can be written to") << "/proc/self";
}

void TestFrmNamePics::failedMoveLeavesThePicture()
{
    QFETCH(QString, dayFolder);
    Drop drop;
    QVERIFY(drop.tdb.ok());
    drop.picture("shot.jpg");
    if (dayFolder == "file")
        QVERIFY(QFile(drop.day()).open(QIODevice::WriteOnly));
    else
        QVERIFY(QFile::link(dayFolder, drop.day()));
    const QStringList messages = drop.scan("S1");
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains("stays in " + drop.dir.path()), qPrintable(messages.first()));
    QCOMPARE(drop.files(drop.dir.path()).filter(".jpg"), QStringList{"shot.jpg"});
    QCOMPARE(drop.tdb.count("SAMPLE_PICS"), 0);
}

QTEST_MAIN(TestFrmNamePics)
#include "tst_frmnamepics.moc"
