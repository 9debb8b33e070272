// Finished samples toward a LIMS that plays the Hitachi host: the results frame from the results
// table, and the Timer3 work on the driver rig (fake LIMS line, manual clock, a real database).
#include "LimsFixture.h"
#include "comm/PeriodicTasks.h"
#include "drivers/DriverRegistry.h"
#include "lims/PendingToLims.h"
#include "store/DbOutcome.h"
#include "support/DriverRig.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;
using Quorlix::Test::DriverRig;

namespace {

// Parameters 1, 8, 12 and 24 on the LIMS side's channels 1, 9, 12 and 24; parameter 3 has no channel
// there.
const QStringList Channels{
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'LIMS1', 1)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (8, 'LIMS1', 9)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (12, 'LIMS1', 12)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (24, 'LIMS1', 24)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (3, 'H1', 3)",
};

QString Result(const QString& id, int parameter, const QString& value, const QString& suspicious)
{
    return QStringLiteral(
               "INSERT INTO results (sample_id, parameter_id, result, suspicious) VALUES ('%1', %2, %3, %4)")
        .arg(id)
        .arg(parameter)
        .arg(value, suspicious);
}

QString Queued(const QString& id, int parameter)
{
    return QStringLiteral("INSERT INTO req2send (sample_id, parameter_id) VALUES ('%1', %2)")
        .arg(id)
        .arg(parameter);
}

QString Ordered(const QString& id, int parameter)
{
    return QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('%1', %2)")
        .arg(id)
        .arg(parameter);
}

// The header of the results frame for S1 with n results: function, class in upper case, "1",
// number in 5, "1", position in 2, "5", id in 13, info in 4, info's last character, month, day,
// year, hour, minute, six blanks, n in 2.
QString Header(int n)
{
    return STX + ":" + "A" + "1" + "   12" + "1" + " 5" + "5" + Right("S1", 13) + "   3" + "7" +
           "1207261039" + Blanks(6) + Right(QString::number(n), 2);
}

// The Timer3 work, built as the program builds it.
struct Forwarding
{
    explicit Forwarding(const QString& outType = QStringLiteral("invH912")) : rig(QStringLiteral("sqlite"))
    {
        rig.settings.OutType = outType;
        rig.settings.OutComPort = 2;
        rig.settings.OutId = QStringLiteral("LIMS1");
        RegisterLimsForwarding(registry);
        work = registry.buildWork(rig.services());
        rig.exec(Channels);
    }
    // One tick; the ids of the frames sent to the LIMS.
    QStringList tick()
    {
        rig.tasks.runTick(TimerInterval::Timer3);
        QStringList ids;
        for (const QString& frame : rig.limsLine.takeFrames())
            ids << frame.mid(13, 13).trimmed();
        return ids;
    }
    int queued(const QString& id) { return rig.tdb.count("req2send", "sample_id = ?", {id}); }

    DriverRig rig;
    DriverRegistry registry;
    std::vector<std::unique_ptr<BackgroundWork>> work;
};

} // namespace

class TestPendingToLims : public QObject
{
    Q_OBJECT

private slots:
    void resultsFrame_data();
    void resultsFrame();
    void threeSamplesOnThreeTicks();
    void pairsAreComparedWhole_data();
    void pairsAreComparedWhole();
    void limsLineDown();
    void sampleWithoutResultsHoldsUpNothing();
    void clearsWhatIsNeitherOrderedNorValidated();
};

void TestPendingToLims::resultsFrame_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("function"); // of the analyzer's last frame
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("notes");

    const QString end = QStringLiteral("000000") + ETX;
    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        QTest::addRow("%s channels 1, 9 and 12 with parameter 8 on 9: groups 1, 9, 10, 12, n = 4", n.data())
            << b << ":"
            << QStringList{Result("S1", 1, "95.5", "0"), Result("S1", 8, "45", "1"),
                           Result("S1", 12, "3.2", "0"), Result("S2", 1, "7", "0")}
            << Header(4) + " 1  95.5 " + " 9     1 " + "10    45 " + "12     0 " + end << QStringList{};
        QTest::addRow("%s channel 24 carries its value, no suspicious flag is blanks", n.data())
            << b << ":" << QStringList{Result("S1", 24, "7.25", "NULL"), Result("S1", 12, "1", "NULL")}
            << Header(2) + "12       " + "24  7.25 " + end << QStringList{};
        QTest::addRow("%s a value too wide is rounded to its 6 characters", n.data())
            << b << ":" << QStringList{Result("S1", 1, "1234.5678", "0")}
            << Header(1) + " 1" + "1234.6" + " " + end << QStringList{};
        QTest::addRow("%s a value that cannot fit goes without value", n.data())
            << b << ":" << QStringList{Result("S1", 1, "12345678", "0")} << Header(1) + " 1       " + end
            << QStringList{
                   "channel 1: value \"12345678\" does not fit the 6 characters of the LIMS frame: sent "
                   "without value"};
        QTest::addRow("%s no channel for the LIMS side: n and no groups", n.data())
            << b << ":" << QStringList{Result("S1", 3, "5", "0")} << Header(1) + end << QStringList{};
        QTest::addRow("%s after an inquiry of the analyzer: still a results frame", n.data())
            << b << ";" << QStringList{Result("S1", 12, "1", "1")} << Header(1) + "12     1 " + end
            << QStringList{};
        QTest::addRow("%s no results: nothing", n.data())
            << b << ":" << QStringList{Result("S2", 1, "7", "0")} << "" << QStringList{};
    }
}

void TestPendingToLims::resultsFrame()
{
    QFETCH(QString, backend);
    QFETCH(QString, function);
    QFETCH(QStringList, results);
    DriverRig rig(backend);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    rig.exec(Channels + results);
    HitachiFrameRecord frame;
    frame.CurFunction = function;
    frame.CurFrameClass = QStringLiteral("a");
    frame.CurNumber = QStringLiteral("12");
    frame.CurInfo1 = QStringLiteral("3");
    frame.CurInfo2 = QStringLiteral("X7");
    SampleRecord sample;
    sample.CurSamplePos = QStringLiteral("5");
    QString text;
    QStringList notes;
    const DbOutcome built =
        PendingResultsFrame(rig.tdb.db(), frame, sample, "S1", "LIMS1",
                            QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40)), &text, &notes);
    QVERIFY2(built.ok(), qPrintable(built.error));
    QTEST(text, "frame");
    QTEST(notes, "notes");
}

void TestPendingToLims::threeSamplesOnThreeTicks()
{
    Forwarding f;
    for (const QString id : {"S3", "S1", "S2"})
        f.rig.exec({Result(id, 1, "5", "0"), Queued(id, 1)});
    QCOMPARE(f.tick(), QStringList{"S1"});
    QCOMPARE(f.queued("S1"), 0);
    QCOMPARE(f.queued("S2"), 1);
    QCOMPARE(f.tick(), QStringList{"S2"});
    QCOMPARE(f.tick(), QStringList{"S3"});
    QCOMPARE(f.tick(), QStringList{});
}

void TestPendingToLims::pairsAreComparedWhole_data()
{
    QTest::addColumn<QString>("ordered");
    QTest::addColumn<QStringList>("sent");
    // "S1" and 12 written together are "S112", as are "S11" and 2.
    QTest::newRow("S11 with 2 still ordered: S1 with 12 is finished")
        << Ordered("S11", 2) << QStringList{"S1"};
    QTest::newRow("S1 with 12 still ordered: it waits") << Ordered("S1", 12) << QStringList{};
}

void TestPendingToLims::pairsAreComparedWhole()
{
    QFETCH(QString, ordered);
    Forwarding f;
    f.rig.exec({Result("S1", 12, "5", "0"), Queued("S1", 12), ordered});
    QTEST(f.tick(), "sent");
}

void TestPendingToLims::limsLineDown()
{
    Forwarding f;
    f.rig.exec({Result("S1", 1, "5", "0"), Queued("S1", 1)});
    f.rig.limsLine.setOpen(false);
    QCOMPARE(f.tick(), QStringList{});
    QCOMPARE(f.tick(), QStringList{});
    QCOMPARE(f.queued("S1"), 1);
    QCOMPARE(f.rig.monitor(), QStringList{"the LIMS port is not open: finished samples wait until it is"});
    f.rig.limsLine.setOpen(true);
    QCOMPARE(f.tick(), QStringList{"S1"});
    QCOMPARE(f.queued("S1"), 0);
}

void TestPendingToLims::sampleWithoutResultsHoldsUpNothing()
{
    Forwarding f;
    // S0's measured parameter 1 found no validation interval: finished, but without results; its
    // parameter 2 is still ordered.
    f.rig.exec({Queued("S0", 1), Ordered("S0", 2), Result("S2", 1, "5", "0"), Queued("S2", 1)});
    QCOMPARE(f.tick(), QStringList{"S2"});
    QCOMPARE(f.queued("S0"), 1);
}

void TestPendingToLims::clearsWhatIsNeitherOrderedNorValidated()
{
    // Another out-type sends nothing, but its queue is kept clean all the same.
    Forwarding f(QStringLiteral("invOAU400"));
    f.rig.exec(
        {Queued("S9", 1), Queued("S1", 1), Result("S1", 1, "5", "0"), Queued("S3", 1), Ordered("S3", 1)});
    QCOMPARE(f.tick(), QStringList{});
    QCOMPARE(f.queued("S9"), 0);
    QCOMPARE(f.queued("S1"), 1);
    QCOMPARE(f.queued("S3"), 1);
}

QTEST_GUILESS_MAIN(TestPendingToLims)
#include "tst_pendingtolims.moc"
