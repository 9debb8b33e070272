// AU host protocol on text alone. Frames are written field by field from the layouts: STX, code,
// rack 4, cup 2, field 1, field 2 (4), id 20, five unread, blocks from position 40, ETX.
#include "drivers/au/AuFrame.h"
#include "drivers/au/AuOrder.h"
#include "drivers/au/AuRelayBuffer.h"
#include "drivers/au/PendingCalibrations.h"
#include "drivers/au/WaitingStandards.h"

#include <QTest>

using namespace Quorlix;

namespace {

const QString STX(QChar(0x02)), ETX(QChar(0x03)), ACK(QChar(0x06));
const QString B5(5, ' '), B16(16, ' '), Id4711 = "4711" + B16;

QString Frame(const QString& code, const QString& id20, const QString& blocks = {})
{
    return STX + code + "0101" + "03" + "N" + "0042" + id20 + B5 + blocks + ETX;
}

// Content (-: acknowledged only, R: results, C: calibration, O: order request), then each result
// block as "channel[value][flags]" and each calibration block as "channel/standard[readings][flags]".
QString Read(const AuFrame& f)
{
    if (f.rejected)
        return "rejected";
    QString out = QString("-RCO").at(int(f.content)) + QString(":");
    for (int k = 0; k < f.resultCount; ++k) {
        const ResultEntry& e = f.results[size_t(k)];
        out += QString("%1[%2][%3]").arg(e.Channel).arg(e.Value, e.DataAlarm);
    }
    for (const AuCalibrationEntry& e : f.calibration)
        out += QString("%1/%2[%3][%4]")
                   .arg(e.channel)
                   .arg(e.standardNo)
                   .arg(QStringList(e.readings.begin(), e.readings.end()).join('|'), e.dataAlarm);
    return out;
}

// Arrivals "minute:channel/standard,..." since start, each standard's first reading its minute.
PendingCalibrations Arrive(const QStringList& arrivals, const QDateTime& start, QStringList* notes = nullptr)
{
    PendingCalibrations pending;
    for (const QString& arrival : arrivals) {
        const int minute = arrival.section(':', 0, 0).toInt();
        QList<AuCalibrationEntry> entries;
        for (const QString& s : arrival.section(':', 1).split(','))
            entries << AuCalibrationEntry{qint16(s.section('/', 0, 0).toInt()),
                                          qint16(s.section('/', 1).toInt()),
                                          {QString::number(minute), "0.2", "0.3", "0.4"},
                                          "  "};
        const QStringList added = pending.add(entries, start.addSecs(minute * 60));
        if (notes)
            *notes += added;
    }
    return pending;
}

QString Standards(const QList<WaitingStandard>& standards)
{
    QStringList out;
    for (const WaitingStandard& w : standards)
        out << QString::number(w.entry.standardNo);
    return out.join(' ');
}

} // namespace

class TestAuFrame : public QObject
{
    Q_OBJECT

private slots:
    void blocks_data();
    void blocks();
    void flags();
    void order_data();
    void order();
    void controlFrame();
    void pendingCalibrations_data();
    void pendingCalibrations();
    void pendingBounded();
    void calibrationOver_data();
    void calibrationOver();
    void waitingStandardRows();
    void relay_data();
    void relay();
};

void TestAuFrame::blocks_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("au680");
    QTest::addColumn<QString>("read");
    QTest::addColumn<int>("problems");

    QTest::newRow("RH request") << Frame("RH", Id4711) << false << "O:" << 0;
    QTest::newRow("dH results, none") << Frame("dH", Id4711) << false << "R:" << 0;
    QTest::newRow("case-sensitive: r  is no request") << Frame("r ", Id4711) << false << "-:" << 0;
    QTest::newRow("DB acknowledged only") << STX + "DB" + ETX << false << "-:" << 0;
    QTest::newRow("request cut short in its id") << STX + "R 0101" + ETX << false << "rejected" << 1;
    QTest::newRow("results keep channel, value, flags together")
        << Frame("D ", Id4711, "03  12.5  12 0.831! ") << false << "R:3[  12.5][  ]12[ 0.831][! ]" << 0;
    QTest::newRow("bad channel skipped, next block at its own offset")
        << Frame("DH", Id4711, "01   1.0  x1   2.0  03   3.0 F") << false << "R:1[   1.0][  ]3[   3.0][ F]"
        << 1;
    QTest::newRow("blank block is padding") << Frame("D ", Id4711, "01   1.0            03   3.0  ") << false
                                            << "R:1[   1.0][  ]3[   3.0][  ]" << 0;
    QTest::newRow("block cut short") << Frame("D ", Id4711, "01   1.0  02  2.") << false << "R:1[   1.0][  ]"
                                     << 1;
    QTest::newRow("value not a number kept")
        << Frame("D ", Id4711, "07  ****G ") << false << "R:7[  ****][G ]" << 0;
    QTest::newRow("AU680 comma becomes point")
        << Frame("D ", Id4711, "05  12,5  ") << true << "R:5[  12.5][  ]" << 0;
    QTest::newRow("AU400 comma kept") << Frame("D ", Id4711, "05  12,5  ") << false << "R:5[  12,5][  ]" << 0;
    QString fifty, first48 = "R:";
    for (int c = 1; c <= 50; ++c) {
        fifty += QString("%1   1.0  ").arg(c, 2, 10, QChar('0'));
        first48 += c <= 48 ? QString("%1[   1.0][  ]").arg(c) : QString();
    }
    QTest::newRow("more than 48 blocks: 48 read") << Frame("D ", Id4711, fifty) << false << first48 << 1;

    // Calibration block: channel 2, standard 1, four readings of 6, flags 2.
    QTest::newRow("DA standards")
        << Frame("DA", Id4711, "1210.12340.12000.12360.1198  0760.50120.49800.50200.4991A ") << false
        << "C:12/1[0.1234|0.1200|0.1236|0.1198][  ]7/6[0.5012|0.4980|0.5020|0.4991][A ]" << 0;
    QTest::newRow("DA standard 7 skipped")
        << Frame("DA", Id4711, "1270.12340.12000.12360.1198  1220.50120.49800.50200.4991  ") << false
        << "C:12/2[0.5012|0.4980|0.5020|0.4991][  ]" << 1;
    QTest::newRow("DA cut short") << Frame("DA", Id4711, "1210.12340.1200") << false << "C:" << 1;
    QTest::newRow("DA AU680 comma") << Frame("DA", Id4711, "1210,12340,12000,12360,1198  ") << true
                                    << "C:12/1[0.1234|0.1200|0.1236|0.1198][  ]" << 0;
}

void TestAuFrame::blocks()
{
    QFETCH(QString, frame);
    QFETCH(bool, au680);
    QFETCH(QString, read);
    QFETCH(int, problems);
    const AuFrame f = au680 ? ParseAu680Frame(frame) : ParseAuFrame(frame);
    QCOMPARE(Read(f), read);
    QVERIFY2(f.problems.size() == problems, qPrintable(f.problems.join('\n')));
}

void TestAuFrame::flags()
{
    // flags -> which of "!", "F", "G" they carry
    const QList<QPair<QString, QString>> rows{{"  ", ""},  {"! ", "!"}, {"H!", "!"},  {"F ", "F"},
                                              {" F", "F"}, {"HG", "G"}, {"FG", "FG"}, {"f ", ""}};
    for (const auto& [flags, found] : rows) {
        QString actual = WantsAbsorbanceCheck(flags) ? "!" : "";
        actual += HasFlagLetter(flags, 'F') ? "F" : "";
        actual += HasFlagLetter(flags, 'G') ? "G" : "";
        QCOMPARE(actual, found);
    }
}

void TestAuFrame::order_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QList<int>>("channels");
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("problems");
    const QString fields = "010103N0042" + Id4711 + "    E";
    QTest::newRow("RH, channels 3 and 12")
        << Frame("RH", Id4711) << QList<int>{3, 12} << "SH" + fields + "0312" << 0;
    QTest::newRow("id blanks kept") << Frame("R ", " 47 11" + B16.left(14)) << QList<int>{99}
                                    << "S 010103N0042 47 11" + B16.left(14) + "    E99" << 0;
    QTest::newRow("R  without channels") << Frame("R ", Id4711) << QList<int>{} << "S " + fields << 0;
    QTest::newRow("channel above 99 left out")
        << Frame("RH", Id4711) << QList<int>{5, 105} << "SH" + fields + "05" << 1;
}

void TestAuFrame::order()
{
    QFETCH(QString, request);
    QFETCH(QList<int>, channels);
    QFETCH(QString, order);
    QFETCH(int, problems);
    const AuFrame f = ParseAuFrame(request);
    QStringList notes;
    QCOMPARE(BuildAuOrder(f.code, f.id, channels, notes), order);
    QCOMPARE(notes.size(), problems);
}

void TestAuFrame::controlFrame()
{
    // The id field is padded to 20 characters; the mask is written for the id itself.
    const QString received = Frame("DH", "QC1" + B16 + " ", "03  12.5  ");
    QVERIFY(IsAuControlId(ParseAuFrame(received).id.sampleId, "QC?"));
    QVERIFY(!IsAuControlId(Id4711, "QC?"));

    const QString relayed = BuildAuControlFrame(received, "Control Normal");
    QCOMPARE(relayed, STX + "DQ010103N0042QC1" + B16 + " " + B5 + "03  12.5  " + "Control " + ETX);
    QCOMPARE(Read(ParseAuFrame(relayed)), "R:3[  12.5][  ]"); // blocks stay at their offsets
    QVERIFY(BuildAuControlFrame(received, "Q" + ETX + "N").endsWith("Q N     " + ETX));
}

void TestAuFrame::pendingCalibrations_data()
{
    // Arrivals "minute:channel/standard,..."; taken standards of channel 12 as "standard@minute".
    QTest::addColumn<QStringList>("arrivals");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("taken");
    QTest::addColumn<int>("problems");
    QTest::addColumn<int>("left");
    QTest::newRow("complete over three frames")
        << QStringList{"0:12/1", "2:12/2", "5:12/3"} << 3 << "1@0 2@2 3@5" << 0 << 0;
    QTest::newRow("standard missing: waits") << QStringList{"0:12/1", "1:12/3"} << 3 << "" << 0 << 2;
    QTest::newRow("other channel waits") << QStringList{"0:12/1,13/1", "1:12/2"} << 2 << "1@0 2@1" << 0 << 1;
    QTest::newRow("more standards than set go to the store")
        << QStringList{"0:12/1,12/2,12/3"} << 2 << "1@0 2@0 3@0" << 0 << 0;
    QTest::newRow("standard after a gap waits")
        << QStringList{"0:12/1,12/2,12/4"} << 2 << "1@0 2@0" << 0 << 1;
    QTest::newRow("60 minutes still wait") << QStringList{"0:12/1", "60:12/2"} << 2 << "1@0 2@60" << 0 << 0;
    QTest::newRow("standard again replaces") << QStringList{"0:12/1", "3:12/1"} << 1 << "1@3" << 1 << 0;
    QTest::newRow("no settings: never complete") << QStringList{"0:12/1"} << 0 << "" << 0 << 1;
}

void TestAuFrame::pendingCalibrations()
{
    QFETCH(QStringList, arrivals);
    QFETCH(int, expected);
    QFETCH(QString, taken);
    QFETCH(int, problems);
    QFETCH(int, left);
    const QDateTime start(QDate(2026, 3, 29), QTime(1, 30));
    QStringList notes, got;
    PendingCalibrations pending = Arrive(arrivals, start, &notes);
    const std::optional<CalibrationRecord> cal = pending.takeComplete(12, expected);
    for (int s = 0; cal && s < cal->CalStdCount; ++s)
        got << cal->CalStandards[size_t(s)].StdNo + '@' + cal->CalStandards[size_t(s)].Readings[0];
    QCOMPARE(got.join(' '), taken);
    QVERIFY2(notes.size() == problems, qPrintable(notes.join('\n')));
    QCOMPARE(pending.size(), qsizetype(left));
    QVERIFY(!pending.takeComplete(12, expected)); // taken once
}

void TestAuFrame::pendingBounded()
{
    PendingCalibrations pending;
    QList<AuCalibrationEntry> entries;
    for (int i = 0; i < 600; ++i)
        entries << AuCalibrationEntry{qint16(i / 6), qint16(i % 6 + 1), {}, "  "};
    QCOMPARE(pending.add(entries, QDateTime(QDate(2026, 5, 4), QTime(8, 0))).size(),
             600 - PendingCalibrations::Limit);
    QCOMPARE(pending.size(), PendingCalibrations::Limit);
    QVERIFY(pending.takeComplete(99, MaxStandards)); // the newest stay
}

void TestAuFrame::calibrationOver_data()
{
    QTest::addColumn<QStringList>("arrivals");
    QTest::addColumn<int>("now"); // minutes after the start
    QTest::addColumn<QString>("over");
    QTest::addColumn<QString>("taken"); // of the first channel over: its run, "|", beyond a gap
    QTest::newRow("60 minutes after its last standard: still waiting")
        << QStringList{"0:12/1", "30:12/2"} << 90 << ""
        << "";
    QTest::newRow("61 minutes after the last of channel 12, not of 13")
        << QStringList{"0:12/1,12/2,12/4,13/1", "30:13/2"} << 61 << "12"
        << "1 2|4";
    QTest::newRow("clock set back 61 minutes") << QStringList{"0:12/2"} << -61 << "12"
                                               << "|2";
}

void TestAuFrame::calibrationOver()
{
    QFETCH(QStringList, arrivals);
    QFETCH(int, now);
    const QDateTime start(QDate(2026, 3, 29), QTime(1, 30));
    PendingCalibrations pending = Arrive(arrivals, start);
    QStringList over;
    for (const qint16 channel : pending.finishedChannels(start.addSecs(now * 60)))
        over << QString::number(channel);
    QTEST(over.join(' '), "over");
    QString taken;
    if (!over.isEmpty()) {
        const PendingCalibrations::Taken t = pending.takeAll(qint16(over.first().toInt()));
        taken = Standards(t.run) + '|' + Standards(t.beyondGap);
        QCOMPARE(pending.waiting(qint16(over.first().toInt())), 0);
    }
    QTEST(taken, "taken");
}

// The row of a waiting standard holds the standard and the analyzer, and gives back exactly them.
void TestAuFrame::waitingStandardRows()
{
    const AuCalibrationEntry entry{7, 3, {"0.0123", "  0.01", "-0.001", "1,2345"}, "! "};
    const QString row = WaitingStandards::Encode(entry, "AU1");
    QCOMPARE(row, QString("073"
                          "0.0123"
                          "  0.01"
                          "-0.001"
                          "1,2345"
                          "! "
                          "AU1"));
    AuCalibrationEntry back;
    QVERIFY(WaitingStandards::Decode(row, "AU1", &back));
    QCOMPARE(back.channel, entry.channel);
    QCOMPARE(back.standardNo, entry.standardNo);
    QCOMPARE(QStringList(back.readings.begin(), back.readings.end()),
             QStringList(entry.readings.begin(), entry.readings.end()));
    QCOMPARE(back.dataAlarm, entry.dataAlarm);
    QVERIFY(!WaitingStandards::Decode(row, "AU10", &back)); // another analyzer's
    QVERIFY(!WaitingStandards::Decode(row, "AU", &back));
    QVERIFY(!WaitingStandards::Decode("x" + row.mid(1), "AU1", &back));
    // Without an analyzer id after them, trailing blanks a database dropped come back.
    QVERIFY(WaitingStandards::Decode(WaitingStandards::Encode(entry, "").trimmed(), "", &back));
    QCOMPARE(back.dataAlarm, "! ");
}

void TestAuFrame::relay_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QStringList>("forwarded");
    QTest::addColumn<int>("problems");
    const QString order = STX + "SH010103N0042" + Id4711 + "    E0312" + ETX;
    const QString head = order.left(10), tail = order.mid(10);
    QTest::newRow("lone ACK") << QStringList{ACK} << QStringList{ACK} << 0;
    QTest::newRow("split over three pieces: once, complete")
        << QStringList{head, tail.left(9), tail.mid(9)} << QStringList{order} << 0;
    QTest::newRow("ACK while a frame is half collected")
        << QStringList{head, ACK, tail} << QStringList{ACK, order} << 0;
    QTest::newRow("frame end and ACK in one piece")
        << QStringList{head, tail + ACK} << QStringList{order, ACK} << 0;
    QTest::newRow("two frames in one piece") << QStringList{order + order} << QStringList{order, order} << 0;
    QTest::newRow("characters before the STX dropped")
        << QStringList{"xx" + order} << QStringList{order} << 1;
    QTest::newRow("frames ended with CR LF: no note")
        << QStringList{order + "\r\n", "\r" + order + "\r", "\n"} << QStringList{order, order} << 0;
    QTest::newRow("other characters between frames noted")
        << QStringList{order + "\r\nxx\r\n" + order} << QStringList{order, order} << 1;
    QTest::newRow("frame interrupted by the next") << QStringList{head, order} << QStringList{order} << 1;
    QTest::newRow("overlong frame dropped, its rest too")
        << QStringList{STX + QString(AuRelayBuffer::Limit, 'x'), "y" + ETX} << QStringList{} << 3;
}

void TestAuFrame::relay()
{
    QFETCH(QStringList, pieces);
    QFETCH(QStringList, forwarded);
    QFETCH(int, problems);
    AuRelayBuffer relay;
    QStringList out, notes;
    for (const QString& piece : pieces) {
        const AuRelayBuffer::Output o = relay.append(piece);
        out += o.forward;
        notes += o.problems;
    }
    QCOMPARE(out, forwarded);
    QVERIFY2(notes.size() == problems, qPrintable(notes.join('\n')));
}

QTEST_GUILESS_MAIN(TestAuFrame)
#include "tst_auframe.moc"
