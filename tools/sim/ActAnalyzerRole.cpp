#include "ActAnalyzerRole.h"

#include "SimSession.h"
#include "core/CommLog.h"

#include <QDateTime>

namespace QuorlixSim {

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

struct SimMessage
{
    QString time; // yyyyMMddHHmmss
    QStringList tests;
    bool split = false; // every frame in two pieces
    bool burst = false; // all frames in one piece
};

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
        "  message [time=YYYYMMDDHHMMSS] [split] [burst] TEST=VALUE ...\n"
        "                                         ENQ, the frames of H, P, one R per TEST, L, and EOT;\n"
        "                                         each must be answered with one ACK. split: each frame in\n"
        "                                         two pieces (no ACK may come before the second); burst:\n"
        "                                         all frames in one piece (one ACK each)\n"
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
            if (!acknowledged(s, n, QString(Enq), QStringLiteral("the ENQ")))
                return;
            const QStringList records = Records(m);
            QStringList frames;
            for (int i = 0; i < records.size(); ++i)
                frames << Frame(i + 1, records[i]);
            bool all = true;
            if (m.burst) {
                s.send(frames.join(QString()));
                s.sent += int(frames.size()) - 1;
                for (int i = 0; i < frames.size(); ++i)
                    all = s.check(answer(s) == QString(Ack), n, QStringLiteral("one ACK per frame")) && all;
            } else {
                for (const QString& frame : std::as_const(frames)) {
                    if (m.split) {
                        const qsizetype half = frame.size() / 2;
                        s.send(frame.left(half));
                        const QByteArray early = s.line().drain(100);
                        all = s.check(early.isEmpty(), n,
                                      QStringLiteral("no answer to half a frame, got %1")
                                          .arg(Quorlix::ControlCharsToNames(QString::fromLatin1(early)))) &&
                              all;
                        s.send(frame.mid(half), false);
                        all =
                            s.check(answer(s) == QString(Ack), n, QStringLiteral("one ACK for the frame")) &&
                            all;
                    } else {
                        all = acknowledged(s, n, frame, QStringLiteral("the frame")) && all;
                    }
                }
            }
            s.send(QString(Eot), false);
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
