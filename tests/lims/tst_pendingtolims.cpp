// Finished samples toward a LIMS that plays the Hitachi host: the results frame from the results
// table, and the Timer3 work on the driver rig (fake LIMS line, a real database).
#include "LimsFixture.h"
#include "comm/PeriodicTasks.h"
#include "drivers/DriverRegistry.h"
#include "lims/PendingToLims.h"
#include "store/DbOutcome.h"
#include "support/DriverRig.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;

namespace {

// Parameters 1, 8, 12 and 24 on the LIMS side's channels 1, 9, 12 and 24; parameter 3 has none there.
const QStringList Channels{
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'LIMS1', 1)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (8, 'LIMS1', 9)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (12, 'LIMS1', 12)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (24, 'LIMS1', 24)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (3, 'H1', 3)",
};

QString Result(const QString& id, int parameter, const QString& value, const QString& suspicious = "0")
{
    return QString(
               "INSERT INTO results (sample_id, parameter_id, result, suspicious) VALUES ('%1', %2, %3, %4)")
        .arg(id)
        .arg(parameter)
        .arg(value, suspicious);
}
QString Queued(const QString& id, int parameter)
{
    return QString("INSERT INTO req2send (sample_id, parameter_id) VALUES ('%1', %2)").arg(id).arg(parameter);
}
// Pairs queued for samples gone from both tables, O0000, O0001 ..., in statements of 700 rows.
QStringList Orphans(int count)
{
    QStringList statements;
    for (int from = 0; from < count; from += 700) {
        QStringList rows;
        for (int i = from; i < qMin(count, from + 700); ++i)
            rows << QString("('O%1', 1)").arg(i, 4, 10, QChar('0'));
        statements << "INSERT INTO req2send (sample_id, parameter_id) VALUES " + rows.join(", ");
    }
    return statements;
}
QString Ordered(const QString& id, int parameter)
{
    return QString("INSERT INTO request (sample_id, parameter_id) VALUES ('%1', %2)").arg(id).arg(parameter);
}

// The header for S1 with n results: function, class in upper case, "1", number in 5, "1",
// position in 2, "5", id in 13, info in 4, info's last character, month, day, year, hour, minute,
// six blanks, n in 2.
QString Header(int n)
{
    return STX + ":" + "A" + "1" + "   12" + "1" + " 5" + "5" + Right("S1", 13) + "   3" + "7" +
           "1207261039" + Blanks(6) + Right(QString::number(n), 2);
}

} // namespace

class TestPendingToLims : public QObject
{
    Q_OBJECT

private slots:
    void resultsFrame_data();
    void resultsFrame();
    void ticks_data();
    void ticks();
    void deliveredOnlyWhenAnswered();
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
            << QStringList{Result("S1", 1, "95.5"), Result("S1", 8, "45", "1"), Result("S1", 12, "3.2"),
                           Result("S2", 1, "7")}
            << Header(4) + " 1  95.5 " + " 9     1 " + "10    45 " + "12     0 " + end << QStringList{};
        QTest::addRow("%s channel 24 carries its value; no suspicious flag is blanks", n.data())
            << b << ":" << QStringList{Result("S1", 24, "7.25", "NULL"), Result("S1", 12, "1", "NULL")}
            << Header(2) + "12       " + "24  7.25 " + end << QStringList{};
        QTest::addRow("%s a value too wide is rounded to its 6 characters", n.data())
            << b << ":" << QStringList{Result("S1", 1, "1234.5678")}
            << Header(1) + " 1" + "1234.6" + " " + end << QStringList{};
        QTest::addRow("%s a value that cannot fit goes without value", n.data())
            << b << ":" << QStringList{Result("S1", 1, "12345678")}
            << Header(1) + " 1" + Blanks(6) + " " + end
            << QStringList{
                   "channel 1: value \"12345678\" does not fit the 6 characters of the LIMS frame: sent "
                   "without value"};
        QTest::addRow("%s after an inquiry of the analyzer: still a results frame", n.data())
            << b << ";" << QStringList{Result("S1", 12, "1", "1")} << Header(1) + "12     1 " + end
            << QStringList{};
    }
}

void TestPendingToLims::resultsFrame()
{
    QFETCH(QString, backend);
    QFETCH(QString, function);
    QFETCH(QStringList, results);
    Test::DriverRig rig(backend);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    rig.exec(Channels + results);
    HitachiFrameRecord frame;
    frame.CurFunction = function;
    frame.CurFrameClass = "a";
    frame.CurNumber = "12";
    frame.CurInfo1 = "3";
    frame.CurInfo2 = "X7";
    SampleRecord sample;
    sample.SamplePos = "5";
    QString text;
    QStringList notes;
    const DbOutcome built =
        PendingResultsFrame(rig.tdb.db(), frame, sample, "S1", "LIMS1",
                            QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40)), &text, &notes);
    QVERIFY2(built.ok(), qPrintable(built.error));
    QTEST(text, "frame");
    QTEST(notes, "notes");
}

void TestPendingToLims::ticks_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("outType");
    QTest::addColumn<bool>("limsOpen");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("sent"); // per tick, the id sent ("" for none)
    QTest::addColumn<QString>("queued");   // req2send afterwards

    const QString t = QStringLiteral("invH912");
    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        QTest::addRow("%s three finished samples on three ticks", n.data())
            << b << t << true << QStringList{Result("S3", 1, "5"), Queued("S3", 1),      Result("S1", 1, "5"),
                                             Queued("S1", 1),      Result("S2", 1, "5"), Queued("S2", 1)}
            << QStringList{"S1", "S2", "S3", ""} << "";
        // "S1" and 12 written together are "S112", as are "S11" and 2.
        QTest::addRow("%s S11 with 2 still ordered: S1 with 12 is finished", n.data())
            << b << t << true << QStringList{Result("S1", 12, "5"), Queued("S1", 12), Ordered("S11", 2)}
            << QStringList{"S1"} << "";
        QTest::addRow("%s S1 with 12 still ordered: it waits", n.data())
            << b << t << true << QStringList{Result("S1", 12, "5"), Queued("S1", 12), Ordered("S1", 12)}
            << QStringList{""} << "S1";
        QTest::addRow("%s LIMS line down: nothing sent, the rows stay", n.data())
            << b << t << false << QStringList{Result("S1", 1, "5"), Queued("S1", 1)} << QStringList{"", ""}
            << "S1";
        // S0's parameter 1 found no validation interval: finished, without results; parameter 2 is
        // still ordered.
        QTest::addRow("%s a finished sample without results holds up nothing", n.data())
            << b << t << true
            << QStringList{Queued("S0", 1), Ordered("S0", 2), Result("S2", 1, "5"), Queued("S2", 1)}
            << QStringList{"S2"} << "S0";
        // Its results go out once, complete, when the test still ordered is done.
        QTest::addRow("%s a sample with a test still ordered waits for it", n.data())
            << b << t << true
            << QStringList{Result("S1", 1, "5"), Queued("S1", 1), Queued("S1", 2), Ordered("S1", 2)}
            << QStringList{""} << "S1";
        QStringList nothingToSend, waiting;
        for (int i = 0; i <= 100; ++i) {
            const QString id = QString("A%1").arg(i, 3, 10, QChar('0'));
            nothingToSend << Queued(id, 1) << Ordered(id, 2);
            waiting << id;
        }
        QTest::addRow("%s 101 finished samples without results hold up none", n.data())
            << b << t << true << nothingToSend + QStringList{Result("S1", 1, "5"), Queued("S1", 1)}
            << QStringList{"S1"} << waiting.join(';');
        // A queue of 2,100 such pairs is cleared in slices, one per tick: the third tick takes the last.
        QTest::addRow("%s pairs of gone samples cleared a slice per tick", n.data())
            << b << t << true
            << Orphans(2100) + QStringList{Queued(QString(), 1), Ordered("S9", 1), Queued("S9", 1)}
            << QStringList{"", "", ""} << "S9";
        QTest::addRow("%s another out-type sends nothing; what is neither ordered nor validated goes",
                      n.data())
            << b << "invOAU400" << true
            << QStringList{Queued("S9", 1), Queued("S1", 1), Result("S1", 1, "5"), Queued("S3", 1),
                           Ordered("S3", 1)}
            << QStringList{""} << "S1;S3";
    }
}

void TestPendingToLims::ticks()
{
    QFETCH(QString, backend);
    QFETCH(QString, outType);
    QFETCH(bool, limsOpen);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, sent);
    Test::DriverRig rig(backend);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    rig.settings.OutType = outType;
    rig.settings.OutComPort = 2;
    rig.settings.OutId = "LIMS1";
    rig.limsLine.setOpen(limsOpen);
    rig.exec(Channels + rows);
    DriverRegistry registry;
    RegisterLimsForwarding(registry);
    const auto work = registry.buildWork(rig.services());
    for (const QString& id : sent) {
        rig.tasks.runTick(TimerInterval::LimsForwarding);
        const QStringList frames = rig.limsLine.takeFrames();
        QCOMPARE(frames.isEmpty() ? QString() : frames.value(0).mid(13, 13).trimmed(), id);
        QVERIFY(frames.size() <= 1);
        rig.limsLine.feed(Function(">")); // the LIMS answers
    }
    QTEST(Rows(rig.tdb.db(), "SELECT DISTINCT sample_id FROM req2send ORDER BY sample_id"), "queued");
}

// A LIMS program that is stopped leaves its port open: a frame written there reaches nobody. The
// sample's rows stay until the LIMS answers its frame, which goes again meanwhile, and nothing else
// goes while it waits.
void TestPendingToLims::deliveredOnlyWhenAnswered()
{
    Test::DriverRig rig(QStringLiteral("sqlite"));
    rig.settings.OutType = "invH912";
    rig.settings.OutComPort = 2;
    rig.settings.OutId = "LIMS1";
    rig.exec(Channels +
             QStringList{Result("S1", 1, "5"), Queued("S1", 1), Result("S2", 1, "6"), Queued("S2", 1)});
    DriverRegistry registry;
    RegisterLimsForwarding(registry);
    const auto work = registry.buildWork(rig.services());
    const auto sentAfter = [&](int seconds) {
        QStringList ids;
        for (int s = 0; s < seconds; s += 5) {
            rig.time.advanceSeconds(5);
            rig.tasks.runTick(TimerInterval::LimsForwarding);
            for (const QString& frame : rig.limsLine.takeFrames())
                ids << frame.mid(13, 13).trimmed();
        }
        return ids.join(' ');
    };
    const auto queued = [&] {
        return Rows(rig.tdb.db(), "SELECT sample_id FROM req2send ORDER BY sample_id");
    };

    QCOMPARE(sentAfter(5), "S1");
    // Unanswered: again after 10 s, then after 20 s; an order from the LIMS answers something else.
    rig.limsLine.feed(OrderFrame("X9", Selection({1})));
    QCOMPARE(sentAfter(10), "S1");
    QCOMPARE(sentAfter(15), "");
    QCOMPARE(sentAfter(5), "S1");
    QCOMPARE(queued(), "S1;S2");
    // The LIMS is back and answers; the answer to an earlier send of the same frame changes nothing.
    rig.limsLine.feed(Function(">"));
    QCOMPARE(queued(), "S2");
    rig.limsLine.feed(Function(">"));
    QCOMPARE(queued(), "S2");
    // A request to repeat: the frame goes again at the next tick.
    QCOMPARE(sentAfter(5), "S2");
    rig.limsLine.feed(Function("?"));
    QCOMPARE(sentAfter(5), "S2");
    rig.limsLine.feed(Function(">"));
    QCOMPARE(queued(), "");
    QCOMPARE(sentAfter(30), "");
    const QStringList monitor = rig.monitor();
    QCOMPARE(monitor.filter("has not answered").size(), 1);
    QCOMPARE(monitor.filter("S1: the LIMS answered its results, sent 3 times").size(), 1);
}

QTEST_GUILESS_MAIN(TestPendingToLims)
#include "tst_pendingtolims.moc"
