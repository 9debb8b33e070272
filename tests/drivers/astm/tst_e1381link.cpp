// The ASTM E1381 link layer on characters alone: frames and checksums from the protocol's layout,
// and exchanges between an instrument and the host, step by step.
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "drivers/astm/E1381Frame.h"
#include "drivers/astm/E1381Link.h"

#include <QTest>

using namespace Quorlix;

namespace {

// The checksum as the layout defines it, kept apart from the code under test.
QString Sum(const QString& numberToEnd)
{
    int sum = 0;
    for (const QChar c : numberToEnd)
        sum += c.unicode();
    return QString::number(sum % 256, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QString Named(QString text)
{
    const std::pair<const char*, QChar> names[] = {{"{STX}", Stx}, {"{ETX}", Etx}, {"{EOT}", Eot},
                                                   {"{ENQ}", Enq}, {"{ACK}", Ack}, {"{NAK}", Nak},
                                                   {"{ETB}", Etb}, {"{CR}", Cr},   {"{LF}", Lf}};
    for (const auto& [name, c] : names)
        text.replace(QLatin1String(name), QString(c));
    return text;
}

// Line characters from a script: control characters by name, and "[1H|1]" for the frame STX, 1,
// H|1, CR, ETX, checksum, CR, LF. A bracketed text that ends with {ETB} or {ETX} is taken as it is.
QString Line(const QString& script)
{
    const QStringList parts = script.split('[');
    QString out = Named(parts.front());
    for (const QString& part : parts.mid(1)) {
        QString inner = Named(part.section(']', 0, 0));
        if (!inner.endsWith(Etx) && !inner.endsWith(Etb))
            inner += QString(Cr) + Etx;
        out += Stx + inner + Sum(inner) + Cr + Lf + Named(part.section(']', 1));
    }
    return out;
}

// A written text back in script form: a sound frame as "[...]", anything else by names.
QString Shown(const QString& text)
{
    const QString inner = text.mid(1, text.size() - 5);
    if (!text.startsWith(Stx) || text.size() < 6 || text.right(4) != Sum(inner) + Cr + Lf)
        return ControlCharsToNames(text);
    QString named = ControlCharsToNames(inner);
    if (named.endsWith("{CR}{ETX}"))
        named.chop(9);
    return '[' + named + ']';
}

// Actions as short words: p / w a write after the pause / at once, t15 a timer of 15 s, t- its stop,
// r: a record, end / abort the instrument's message, ok1 / fail1 our message 1, ! a Monitor line.
QString Render(const QList<E1381Action>& actions, bool withTimers = true)
{
    using K = E1381Action::Kind;
    const char* const words[] = {"", "t", "t-", "", "r:", "end", "abort", "ok", "fail", "!"}; // by Kind
    QStringList out;
    for (const E1381Action& a : actions) {
        if (a.kind == K::Received || (!withTimers && (a.kind == K::StartTimer || a.kind == K::StopTimer)))
            continue;
        QString word = words[int(a.kind)];
        if (a.kind == K::Write)
            word = (a.timing == E1381Action::Timing::AtOnce ? "w" : "p") + Shown(a.text);
        else if (a.kind == K::StartTimer)
            word += QString::number(a.milliseconds / 1000);
        else if (a.kind == K::Record)
            word += ControlCharsToNames(a.text);
        else if (a.kind == K::SendCompleted || a.kind == K::SendFailed)
            word += QString::number(a.messageId);
        if ((a.kind == K::Problem || a.kind == K::SendFailed) && a.text.isEmpty())
            word += "(no text)";
        out << word;
    }
    return out.join(' ');
}

E1381Link::Options Options(const QString& flags)
{
    E1381Link::Options o;
    if (flags.contains("retry"))
        o.contention = E1381Link::Contention::HostRetriesOnce;
    o.chainedMessage = flags.contains("chain");
    o.bidOnSend = !flags.contains("hold");
    o.wakeCharactersBid = flags.contains("wake");
    o.refuseUnexpectedBidReply = flags.contains("refuse");
    if (flags.contains("small")) {
        o.maxRecordLength = 8;
        o.maxPendingRecords = 3;
    }
    return o;
}

const QString X246(246, 'x');

} // namespace

class TestE1381Link : public QObject
{
    Q_OBJECT

private slots:
    void frame_data();
    void frame();
    void message_data();
    void message();
    void exchange_data();
    void exchange();
    void splitAnywhere();
};

void TestE1381Link::frame_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text"); // with its ETX or ETB
    QTest::addColumn<QString>("expected");

    // clang-format off
    // Sums by hand: 49+72+124+92+94+38+13+3 = 485 = 0x1E5.
    QTest::newRow("header record") << 1 << "H|\\^&{CR}{ETX}" << "{STX}1H|\\^&{CR}{ETX}E5{CR}{LF}";
    // 50+82+124+49+124+3*94+71+76+85+124+53+46+52+23 = 1241 = 0x4D9
    QTest::newRow("intermediate frame, ETB counted") << 2 << "R|1|^^^GLU|5.4{ETB}" << "{STX}2R|1|^^^GLU|5.4{ETB}D9{CR}{LF}";
    // The Indiko's way: FN and text 55+76+124+49+124+78 = 506, plus 16 for CR and ETX = 522 = 0x20A.
    QTest::newRow("checksum below 16 keeps its zero") << 7 << "L|1|N{CR}{ETX}" << "{STX}7L|1|N{CR}{ETX}0A{CR}{LF}";
    // 48+76+124+49+13+3 = 313 = 0x139
    QTest::newRow("eighth frame carries number 0") << 8 << "L|1{CR}{ETX}" << "{STX}0L|1{CR}{ETX}39{CR}{LF}";
    // clang-format on
}

void TestE1381Link::frame()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    const QString withEnd = Named(text);
    const QString built = BuildE1381Frame(number, withEnd.chopped(1), withEnd.back());
    QCOMPARE(ControlCharsToNames(built), expected);
    const E1381Frame parsed = ParseE1381Frame(QStringView(built).chopped(1)); // LF not needed
    QCOMPARE(parsed.problem, QString());
    QCOMPARE(parsed.number, number % 8);
    QCOMPARE(parsed.text, withEnd.chopped(1));
    QCOMPARE(parsed.last, withEnd.back() == Etx);
}

void TestE1381Link::message_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<bool>("chained");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one frame per record") << QStringList{"H|1", "L|1|N"} << false << "[1H|1] [2L|1|N]";
    QTest::newRow("chained: ETB after every record but the last")
        << QStringList{"H|1", "P|1", "L|1"} << true << "[1H|1{CR}{ETB}] [2P|1{CR}{ETB}] [3L|1]";
    QTest::newRow("numbers run 1..7, 0, 1") << QStringList{"A", "B", "C", "D", "E", "F", "G", "H", "I"}
                                            << false << "[1A] [2B] [3C] [4D] [5E] [6F] [7G] [0H] [1I]";
    QTest::newRow("record of 300 characters: 240 with ETB, then the rest")
        << QStringList{QString(300, 'x'), "L|1"} << false
        << "[1" + QString(240, 'x') + "{ETB}] [2" + QString(60, 'x') + "] [3L|1]";
    QTest::newRow("not Latin-1: ? as on the line")
        << QStringList{QString::fromUtf8("P|1|Łaé")} << false << QString::fromUtf8("[1P|1|?aé]");
}

void TestE1381Link::message()
{
    QFETCH(QStringList, records);
    QFETCH(bool, chained);
    QFETCH(QString, expected);

    QStringList shown;
    for (const QString& frame : BuildE1381Message(records, chained))
        shown << Shown(frame);
    QCOMPARE(shown.join(' '), expected);
}

// Each step is "input => actions". Input: "<" and characters from the instrument, ">" and records
// (separated by "#") to send, "timer" the link timer expiring, "bid", or "state" (the state's name).
void TestE1381Link::exchange_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("steps");

    // clang-format off
    // Receiving.
    QTest::newRow("instrument's message: ENQ, one frame per record, EOT") << "" << QStringList{
        "<{ENQ} => p{ACK} t30", "<[1H|\\^&] => t30 r:H|\\^& w{ACK}", "<[2R|1|^^^GLU|5.4] => t30 r:R|1|^^^GLU|5.4 w{ACK}",
        "<[3L|1|N] => t30 r:L|1|N w{ACK}", "<{EOT} => t- end", "state => idle"};
    QTest::newRow("ENQ and the first frame in one piece") << "" << QStringList{
        "<{ENQ}[1H|1] => p{ACK} t30 r:H|1 w{ACK}", "state => receiving"};
    QTest::newRow("two frames in one piece") << "" << QStringList{
        "<{ENQ} => p{ACK} t30", "<{ENQ} => p{ACK} t30", "<[1H|1][2L|1] => r:H|1 w{ACK} t30 r:L|1 w{ACK}"};
    QTest::newRow("wrong checksum: NAK, the resend used once") << "" << QStringList{
        "<{ENQ} => p{ACK} t30", "<{STX}1H|1{CR}{ETX}00{CR}{LF} => t30 ! p{NAK}", "<[1H|1] => t30 r:H|1 w{ACK}",
        "<[2L|1] => t30 r:L|1 w{ACK}"};
    // 49+72+124+55+13+3 = 316 = 0x13C: "AZ" is no checksum, even where A*16 - 100 would be 0x3C.
    QTest::newRow("checksum digit that is not hexadecimal: NAK") << "" << QStringList{
        "<{ENQ}{STX}1H|7{CR}{ETX}AZ{CR}{LF} => p{ACK} t30 ! p{NAK}", "<{STX}1H|7{CR}{ETX}3c{CR}{LF} => t30 r:H|7 w{ACK}"};
    QTest::newRow("frame repeated after a lost ACK: acknowledged, used once") << "" << QStringList{
        "<{ENQ}[1H|1] => p{ACK} t30 r:H|1 w{ACK}", "<[1H|1] => t30 ! w{ACK}", "<[2L|1] => t30 r:L|1 w{ACK}"};
    QTest::newRow("frame number skipped: NAK") << "" << QStringList{
        "<{ENQ}[1H|1] => p{ACK} t30 r:H|1 w{ACK}", "<[3L|1] => t30 ! p{NAK}", "<[2L|1] => t30 r:L|1 w{ACK}"};
    QTest::newRow("number 0 opening a message is no repeat: NAK") << "" << QStringList{
        "<{ENQ}[0H|1] => p{ACK} t30 ! p{NAK}"};
    QTest::newRow("number 9: NAK") << "" << QStringList{"<{ENQ}[9H|1] => p{ACK} t30 ! p{NAK}"};
    // 49+72+124+49+13+3 = 310 = 0x136; then X where CR belongs.
    QTest::newRow("no CR after the checksum: NAK") << "" << QStringList{
        "<{ENQ}{STX}1H|1{CR}{ETX}36X{LF} => p{ACK} t30 ! p{NAK}"};
    QTest::newRow("frames numbered 1..7, 0, 1") << "" << QStringList{
        "<{ENQ}[1A][2B][3C][4D][5E][6F][7G][0H][1I] => p{ACK} r:A w{ACK} r:B w{ACK} r:C w{ACK} r:D w{ACK} "
        "r:E w{ACK} r:F w{ACK} r:G w{ACK} r:H w{ACK} t30 r:I w{ACK}"};
    QTest::newRow("ETB frames joined into their record") << "" << QStringList{
        "<{ENQ} => p{ACK} t30", "<[1R|1|^^^GLU{ETB}] => t30 w{ACK}", "<[2|5.4{ETB}] => t30 w{ACK}",
        "<[3|mmol/l] => t30 r:R|1|^^^GLU|5.4|mmol/l w{ACK}"};
    QTest::newRow("message chained with ETB: each record on its frame") << "" << QStringList{
        "<{ENQ}[1H|1{CR}{ETB}] => p{ACK} t30 r:H|1 w{ACK}", "<[2L|1] => t30 r:L|1 w{ACK}"};
    QTest::newRow("EOT inside a record: the record begun is dropped, the message ends") << "" << QStringList{
        "<{ENQ}[1H|1][2R|1{ETB}] => p{ACK} r:H|1 w{ACK} t30 w{ACK}", "<{EOT} => t- ! end"};
    QTest::newRow("frame cut short by the next STX") << "" << QStringList{
        "<{ENQ}{STX}1H|[1H|1] => p{ACK} ! t30 r:H|1 w{ACK}"};
    QTest::newRow("characters outside a frame dropped") << "" << QStringList{
        "<xy{ENQ} => ! p{ACK} t30", "<[1H|1]zz{EOT} => r:H|1 w{ACK} ! t- end"};
    QTest::newRow("ETB or 240 outside a message: a bid where the instrument wakes the line with them")
        << "wake" << QStringList{"<{ETB} => p{ACK} t30", "<[1H|1]{EOT} => r:H|1 w{ACK} t- end",
                                 "<\u00F0x => p{ACK} t30", "<{ETB}[1H|1] => ! t30 r:H|1 w{ACK}"};
    QTest::newRow("ETB outside a message elsewhere: dropped") << "" << QStringList{"<{ETB} => !", "state => idle"};
    QTest::newRow("frame without a bid dropped") << "" << QStringList{"<[1H|1] => !", "state => idle"};
    QTest::newRow("247 characters of text taken, 248 refused") << "" << QStringList{
        "<{ENQ} => p{ACK} t30", "<[1" + X246 + "] => t30 r:" + X246 + " w{ACK}", "<[2x" + X246 + "] => t30 ! p{NAK}"};
    QTest::newRow("record over the limit dropped, the message goes on") << "small" << QStringList{
        "<{ENQ}[1R|1|^^^GLU{ETB}] => p{ACK} t30 w{ACK}", "<[2|5.4] => t30 ! w{ACK}", "<[3L|1] => t30 r:L|1 w{ACK}"};
    QTest::newRow("no frame for 30 s: receiving given up") << "" << QStringList{
        "<{ENQ}[1R|1{ETB}] => p{ACK} t30 w{ACK}", "timer => ! ! abort", "state => idle", "<[2L|1] => !"};
    QTest::newRow("ENQ inside a message: it starts again") << "" << QStringList{
        "<{ENQ}[1H|1] => p{ACK} t30 r:H|1 w{ACK}", "<{ENQ} => ! abort p{ACK} t30", "<[1H|2] => t30 r:H|2 w{ACK}"};

    // Sending.
    QTest::newRow("our message: ENQ, one frame per ACK, EOT") << "" << QStringList{
        ">H|1#L|1|N => p{ENQ} t15", "state => bidding", "<{ACK} => p[1H|1] t15", "state => sending",
        "<{ACK} => p[2L|1|N] t15", "<{ACK} => p{EOT} ok1 t-", "state => idle"};
    QTest::newRow("chained message") << "chain" << QStringList{
        ">H|1#L|1 => p{ENQ} t15", "<{ACK} => p[1H|1{CR}{ETB}] t15", "<{ACK} => p[2L|1] t15"};
    QTest::newRow("NAK: the frame again") << "" << QStringList{
        ">H|1 => p{ENQ} t15", "<{ACK} => p[1H|1] t15", "<{NAK} => p[1H|1] t15", "<{ACK} => p{EOT} ok1 t-"};
    QTest::newRow("six NAKs: EOT and failure") << "" << QStringList{
        ">H|1 => p{ENQ} t15", "<{ACK} => p[1H|1] t15", "<{NAK} => p[1H|1] t15", "<{NAK} => p[1H|1] t15",
        "<{NAK} => p[1H|1] t15", "<{NAK} => p[1H|1] t15", "<{NAK} => p[1H|1] t15", "<{NAK} => p{EOT} fail1 t-"};
    QTest::newRow("a garbled ACK counts as NAK: the frame again") << "" << QStringList{
        ">H|1 => p{ENQ} t15", "<{ACK} => p[1H|1] t15", "<?\u0086 => ! p[1H|1] t15", "<{ACK} => p{EOT} ok1 t-"};
    QTest::newRow("ENQ or a frame in answer to our frame count as NAK") << "" << QStringList{
        ">H|1 => p{ENQ} t15", "<{ACK} => p[1H|1] t15", "<{ENQ} => ! p[1H|1] t15", "<[1X] => ! p[1H|1] t15",
        "<{NAK}{NAK}{NAK}x => p[1H|1] p[1H|1] p[1H|1] ! p{EOT} fail1 t-"};
    QTest::newRow("EOT in answer to a frame accepts it") << "" << QStringList{
        ">A#B => p{ENQ} t15", "<{ACK} => p[1A] t15", "<{EOT} => p[2B] t15"};
    QTest::newRow("no ACK within 15 s: EOT, every queued message fails") << "" << QStringList{
        ">A => p{ENQ} t15", ">B =>", "<{ACK} => p[1A] t15", "timer => p{EOT} t- fail1 fail2", "state => idle"};
    QTest::newRow("no answer to the bid: EOT and failure") << "" << QStringList{
        ">A => p{ENQ} t15", "timer => p{EOT} t- fail1"};
    QTest::newRow("next message: ENQ at once after our EOT") << "" << QStringList{
        ">A => p{ENQ} t15", ">B =>", "<{ACK} => p[1A] t15", "<{ACK} => p{EOT} ok1 w{ENQ} t15", "<{ACK} => p[1B] t15",
        "<{ACK} => p{EOT} ok2 t-"};
    QTest::newRow("sent while receiving: bid after the instrument's EOT") << "" << QStringList{
        "<{ENQ} => p{ACK} t30", ">A =>", "<{EOT} => end p{ENQ} t15"};
    QTest::newRow("bid refused: asked again after 10 s") << "" << QStringList{
        ">A => p{ENQ} t15", "<{NAK} => t10", "state => waiting to bid again", "timer => p{ENQ} t15",
        "<{ACK} => p[1A] t15"};
    QTest::newRow("held until the owner bids") << "hold" << QStringList{">A =>", "state => idle", "bid => p{ENQ} t15"};
    QTest::newRow("messages refused: too long, control character, too many records") << "small" << QStringList{
        ">123456789 => fail1", ">A{STX} => fail2", "> => fail3", ">A#B => p{ENQ} t15", ">C#D => fail5"};

    // Contention: we wrote ENQ and receive ENQ.
    QTest::newRow("contention: the instrument sends first, we bid after its EOT") << "" << QStringList{
        ">A => p{ENQ} t15", "<{ENQ} => ! p{ACK} t30", "<[1H|1] => t30 r:H|1 w{ACK}", "<{EOT} => end p{ENQ} t15",
        "<{ACK} => p[1A] t15"};
    QTest::newRow("contention, Indiko: ENQ twice, then we send") << "retry" << QStringList{
        ">A => p{ENQ} t15", "<{ENQ} => ! p{ENQ} p{ENQ} t15", "<{ACK} => p[1A] t15"};
    QTest::newRow("contention twice, Indiko: the instrument sends first") << "retry" << QStringList{
        ">A => p{ENQ} t15", "<{ENQ} => ! p{ENQ} p{ENQ} t15", "<{ENQ} => ! p{ACK} t30", "<{EOT} => end p{ENQ} t15",
        "<{ENQ} => ! p{ENQ} p{ENQ} t15"};
    QTest::newRow("answer to our bid neither ACK, NAK nor ENQ: NAK, we bid after the instrument's message")
        << "refuse" << QStringList{">A => p{ENQ} t15", "<{EOT} => p{NAK} t-", "state => idle",
                                   "<{ENQ}[1H|1]{EOT} => p{ACK} r:H|1 w{ACK} end p{ENQ} t15", "<x => p{NAK} t-",
                                   "state => idle"};
    // clang-format on
}

void TestE1381Link::exchange()
{
    QFETCH(QString, options);
    QFETCH(QStringList, steps);

    E1381Link link(Options(options));
    for (const QString& step : steps) {
        const QString input = step.section("=>", 0, 0).trimmed();
        const QString expected = step.section("=>", 1).trimmed();
        QString actual;
        if (input.startsWith('<'))
            actual = Render(link.receive(Line(input.mid(1))));
        else if (input.startsWith('>'))
            actual = Render(link.send(Named(input.mid(1)).split('#', Qt::SkipEmptyParts)));
        else if (input == "timer")
            actual = Render(link.timerExpired());
        else if (input == "bid")
            actual = Render(link.bid());
        else
            actual = E1381Link::stateName(link.state());
        QCOMPARE(input + " => " + actual, input + " => " + expected);
    }
}

// However the serial driver cuts the characters, the same records arrive and the same answers go.
void TestE1381Link::splitAnywhere()
{
    const QString line = Line("{ENQ}[1H|\\^&][2R|1|^^^GLU{ETB}][3|5.4][4L|1|N]{EOT}");
    const QString expected = "p{ACK} r:H|\\^& w{ACK} w{ACK} r:R|1|^^^GLU|5.4 w{ACK} r:L|1|N w{ACK} end";
    for (qsizetype cut = 0; cut < line.size(); ++cut) {
        E1381Link link;
        QList<E1381Action> actions = link.receive(line.left(cut));
        actions += link.receive(line.mid(cut));
        QCOMPARE(QString::number(cut) + ": " + Render(actions, false),
                 QString::number(cut) + ": " + expected);
    }
    E1381Link link;
    QList<E1381Action> actions;
    for (const QChar c : line)
        actions += link.receive(QString(c));
    QCOMPARE(Render(actions, false), expected);
}

QTEST_GUILESS_MAIN(TestE1381Link)
#include "tst_e1381link.moc"
