#include "ActAnalyzerRole.h"

#include "SimSession.h"
#include "core/CommLog.h"

#include <QDateTime>
#include <QThread>

namespace QuorlixSim {

// One message as a script line describes it.
struct SimMessage
{
    QString time; // yyyyMMddHHmmss
    QStringList tests;
    bool split = false; // every frame in two pieces
    bool burst = false; // all frames in one piece
    int corrupt = 0;    // this frame first with a wrong checksum (NAK expected)
    int abort = 0;      // this frame with a wrong checksum until the sixth NAK: EOT, sent again
    int hold = 0;       // after this frame's ACK: "mid-message" and a pause of pauseMs
    int pauseMs = 3000;
};

namespace {

const QChar Stx(0x02);
const QChar Etx(0x03);
const QChar Eot(0x04);
const QChar Enq(0x05);
const QChar Ack(0x06);
const QChar Cr(0x0D);
const QChar Lf(0x0A);

// STX, frame number, record, CR, ETX, two hex digits of the sum from the number to ETX, CR, LF.
QString Frame(int number, const QString& record)
{
    const QString counted = QString::number(number % 8) + record + Cr + Etx;
    int sum = 0;
    for (const QChar c : counted)
        sum += c.unicode();
    return Stx + counted + QString::number(sum % 256, 16).toUpper().rightJustified(2, QLatin1Char('0')) + Cr +
           Lf;
}

QString WithWrongChecksum(const QString& frame)
{
    QString bad = frame;
    const QString sum = frame.mid(frame.size() - 4, 2);
    bad.replace(frame.size() - 4, 2,
                sum == QLatin1String("00") ? QStringLiteral("01") : QStringLiteral("00"));
    return bad;
}

// The records of a message: H (time in field 13), P, one R per test (test id "!!!" and the name in
// field 2, the value in field 3, the time of completion in field 12), L.
QStringList Records(const SimMessage& m)
{
    QStringList records{
        QStringLiteral("H|\\!~&|||ACT 8^1.0^SIM||||||P|LIS2-A|") + m.time,
        QStringLiteral("P|1"),
    };
    int n = 0;
    for (const QString& test : m.tests) {
        const QString name = test.section(QLatin1Char('='), 0, 0);
        const QString value = test.section(QLatin1Char('='), 1);
        records << QStringLiteral("R|%1|!!!%2|%3|||||F||||%4").arg(++n).arg(name, value, m.time);
    }
    records << QStringLiteral("L|1|N");
    return records;
}

} // namespace

QString ActAnalyzerRole::help() const
{
    return QStringLiteral(
        "  message [time=YYYYMMDDHHMMSS] [split] [burst] [corrupt=N] [abort=N] [hold=N [pause=MS]]\n"
        "          TEST=VALUE ...                 ENQ, the frames of H, P, one R per TEST, L, and EOT;\n"
        "                                         each must be answered with one ACK. split: each frame in\n"
        "                                         two pieces (no ACK may come before the second); burst:\n"
        "                                         all frames in one piece (one ACK each); corrupt: frame N\n"
        "                                         first with a wrong checksum (NAK expected); abort: frame\n"
        "                                         N with a wrong checksum until the sixth NAK, then EOT and\n"
        "                                         the message again in full; hold: \"sim: mid-message\"\n"
        "                                         after frame N's ACK and a pause (default 3000 ms). With\n"
        "                                         --retry a message not acknowledged is sent again\n"
        "  raw TEXT                               any characters; {ENQ} {STX} ... name control characters\n"
        "  expect TEXT                            the last answer must be exactly TEXT\n");
}

QString ActAnalyzerRole::answer(SimSession& session)
{
    const QString reply = QString::fromLatin1(session.line().readFrame(session.options().timeoutMs));
    if (!reply.isEmpty()) {
        ++session.answered;
        session.printAnswer(reply);
    }
    m_last = reply;
    return reply;
}

bool ActAnalyzerRole::acknowledged(SimSession& session, int line, const QString& text, const QString& what)
{
    session.send(text);
    return session.check(answer(session) == QString(Ack), line, QStringLiteral("one ACK for %1").arg(what));
}

bool ActAnalyzerRole::deliver(SimSession& s, int n, const SimMessage& m, const QStringList& frames)
{
    const QString eot = QString(Eot);
    if (!acknowledged(s, n, QString(Enq), QStringLiteral("the ENQ"))) {
        s.send(eot, false);
        return false;
    }
    bool all = true;
    if (m.burst) {
        s.send(frames.join(QString()));
        s.sent += int(frames.size()) - 1;
        for (int i = 0; i < frames.size(); ++i)
            all = s.check(answer(s) == QString(Ack), n, QStringLiteral("one ACK per frame")) && all;
        s.send(eot, false);
        return all;
    }
    for (int i = 0; i < frames.size() && all; ++i) {
        const QString& frame = frames.at(i);
        const int k = i + 1;
        const int broken = m.abort == k ? 6 : m.corrupt == k ? 1 : 0;
        for (int b = 0; b < broken; ++b) {
            s.send(WithWrongChecksum(frame), false);
            all = s.check(answer(s) == QString(QChar(0x15)), n,
                          QStringLiteral("NAK to frame %1 with a wrong checksum").arg(k));
            if (!all)
                break;
        }
        if (m.abort == k) {
            s.say(QStringLiteral("frame %1 refused six times: EOT, the message is given up").arg(k));
            s.send(eot, false);
            return false;
        }
        if (!all)
            break;
        if (m.split) {
            const qsizetype half = frame.size() / 2;
            s.send(frame.left(half));
            const QByteArray early = s.line().drain(100);
            all = s.check(early.isEmpty(), n,
                          QStringLiteral("no answer to half a frame, got %1")
                              .arg(Quorlix::ControlCharsToNames(QString::fromLatin1(early))));
            s.send(frame.mid(half), false);
            all = s.check(answer(s) == QString(Ack), n, QStringLiteral("one ACK for the frame")) && all;
        } else {
            all = acknowledged(s, n, frame, QStringLiteral("the frame"));
        }
        if (all && m.hold == k) {
            s.say(QStringLiteral("mid-message"));
            QThread::msleep(ulong(m.pauseMs));
        }
    }
    s.send(eot, false);
    return all;
}

bool ActAnalyzerRole::parse(const ScriptLine& line, SimStep& step, QString* error)
{
    const int n = line.number;
    if (line.verb == QLatin1String("message")) {
        SimMessage m;
        for (const QString& w : line.words) {
            if (w == QLatin1String("split"))
                m.split = true;
            else if (w == QLatin1String("burst"))
                m.burst = true;
            else if (w.startsWith(QLatin1String("time=")))
                m.time = w.mid(5);
            else if (w.startsWith(QLatin1String("corrupt=")))
                m.corrupt = w.mid(8).toInt();
            else if (w.startsWith(QLatin1String("abort=")))
                m.abort = w.mid(6).toInt();
            else if (w.startsWith(QLatin1String("hold=")))
                m.hold = w.mid(5).toInt();
            else if (w.startsWith(QLatin1String("pause=")))
                m.pauseMs = w.mid(6).toInt();
            else if (w.contains(QLatin1Char('=')))
                m.tests << w;
            else {
                *error = QStringLiteral("line %1: %2 is not TEST=VALUE").arg(n).arg(w);
                return true;
            }
        }
        step = [this, n, m](SimSession& s) mutable {
            // Messages without a time of their own are one second apart, as measurements are.
            if (m.time.isEmpty())
                m.time = QDateTime::currentDateTime()
                             .addSecs(m_messages)
                             .toString(QStringLiteral("yyyyMMddHHmmss"));
            ++m_messages;
            ++s.resultsSent;
            const QStringList records = Records(m);
            QStringList frames;
            for (int i = 0; i < records.size(); ++i)
                frames << Frame(i + 1, records[i]);
            // Given up on purpose, it is sent again in full; not acknowledged, again with --retry.
            bool all = deliver(s, n, m, frames) || (m.abort > 0 && deliver(s, n, SimMessage{}, frames));
            for (int retry = 0; !all && retry < s.options().retries; ++retry) {
                s.say(QStringLiteral("message not acknowledged, sending it again (%1 of %2)")
                          .arg(retry + 1)
                          .arg(s.options().retries));
                all = deliver(s, n, SimMessage{}, frames);
            }
            if (all)
                ++s.resultsAnswered;
            s.recordResult(all, QStringLiteral("message"), m.tests.size());
        };
    } else if (line.verb == QLatin1String("raw")) {
        const QString text = NamesToControlChars(line.rest);
        step = [this, text](SimSession& s) {
            s.send(text, false);
            const QByteArray reply = s.line().drain(300);
            m_last = QString::fromLatin1(reply);
            if (!reply.isEmpty())
                s.printAnswer(m_last);
        };
    } else if (line.verb == QLatin1String("expect")) {
        const QString text = NamesToControlChars(line.rest);
        step = [this, n, text](SimSession& s) { s.checkAnswer(m_last, text, n); };
    } else {
        return false;
    }
    return true;
}

} // namespace QuorlixSim
