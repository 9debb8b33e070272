#include "AstmAnalyzerRole.h"

#include "SimSession.h"
#include "core/CommLog.h"

#include <QRegularExpression>
#include <QThread>

namespace QuorlixSim {

namespace {

const char Stx = 0x02, Etx = 0x03, Eot = 0x04, Enq = 0x05, Ack = 0x06, Nak = 0x15, Etb = 0x17;
const QChar Cr(0x0D), Lf(0x0A);
// An ACK whose high bit a noisy line flipped: neither ACK, NAK nor EOT.
const QChar GarbledAck(0x86);

// The E1381 checksum of the characters from the frame number to ETX or ETB inclusive.
QString Checksum(const QString& numberToEnd)
{
    unsigned sum = 0;
    for (const QChar c : numberToEnd)
        sum += c.unicode();
    return QStringLiteral("%1").arg(sum % 256, 2, 16, QLatin1Char('0')).toUpper();
}

QString Frame(int number, const QString& text, char end)
{
    const QString body = QString::number(number % 8) + text + QLatin1Char(end);
    return QLatin1Char(Stx) + body + Checksum(body) + Cr + Lf;
}

QString Named(const QString& text)
{
    return Quorlix::ControlCharsToNames(text);
}

// Records of a script line: separated by ";", control characters by name.
QStringList Records(const QString& rest)
{
    QStringList records;
    for (const QString& r : rest.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        records << NamesToControlChars(r.trimmed());
    return records;
}

// The sample id of a record: field 3 (the first of its components that is not empty).
QString SampleIdOf(const QString& record)
{
    for (const QString& part : record.section(QLatin1Char('|'), 2, 2).split(QLatin1Char('^')))
        if (!part.isEmpty())
            return part;
    return {};
}

// The Indiko host waits this long before its ENQ, each frame and the EOT of an answer.
constexpr int IndikoPauseMs = 500;

// An expected record: "{time}" stands for 14 digits, "{*}" for any field text.
bool Matches(const QString& expected, const QString& actual)
{
    QString pattern = QRegularExpression::escape(expected);
    pattern.replace(QStringLiteral("\\{time\\}"), QStringLiteral("\\d{14}"));
    pattern.replace(QStringLiteral("\\{\\*\\}"), QStringLiteral("[^|]*"));
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(actual).hasMatch();
}

} // namespace

QString AstmAnalyzerRole::controlLine(const QString& controlId, const QString& test, const QString& value,
                                      const QDateTime& measured) const
{
    if (m_chained)
        return {}; // the host files no control results from a DSX
    // One Indiko result message; the result record's field 13 is when it was measured.
    const QString time = measured.toString(QStringLiteral("yyyyMMddHHmmss"));
    return QStringLiteral("send H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|%1; P|1; O|1|%2^^1^1; "
                          "R|1|^^^%3|%4|||||||||%1; L|1|N")
        .arg(time, controlId, test, value);
}

QString AstmAnalyzerRole::help() const
{
    return QStringLiteral(
        "  send REC; REC; ...                     one message: ENQ, the records in frames, EOT; every\n"
        "                                         frame must be acknowledged ({0x23} writes #); a refused\n"
        "                                         frame is sent again (six attempts), an undelivered\n"
        "                                         message with --retry\n"
        "  expect-answer REC; REC; ...            the host bids and sends exactly these records; {time}\n"
        "                                         stands for 14 digits, {*} for any field\n"
        "  frame-size N                           frames of at most N characters (longer records: ETB)\n"
        "  corrupt N [K] | wrong-number N         next send: frame N first with a wrong checksum (K times)\n"
        "                                         or frame number; the host must answer NAK each time\n"
        "  lose-ack N                             next send: frame N again after its ACK, as if the ACK\n"
        "                                         was lost; the host must acknowledge it again\n"
        "  abort N [drop]                         next send: frame N with a wrong checksum until the host's\n"
        "                                         sixth NAK, then EOT (the instrument gives up); the "
        "message\n"
        "                                         is sent again in full, unless drop (--record: aborted)\n"
        "  hold N MS                              next send: after frame N's ACK print \"sim: mid-message\"\n"
        "                                         and pause MS (the rest of the message follows)\n"
        "  nak N [K]                              next answer: NAK for the host's frame N, K times in a\n"
        "                                         row; it must come again each time\n"
        "  garble N                               next answer: the host's frame N answered with a garbled\n"
        "                                         ACK (0x86); it must come again\n"
        "  clash                                  next answer: meet the host's ENQ with ENQ once\n"
        "  insist                                 next send: meet the host's bid with ENQ until it yields\n"
        "  expect-quiet MS                        the host sends nothing for MS milliseconds\n");
}

QStringList AstmAnalyzerRole::frames(const QStringList& records) const
{
    QStringList out;
    int number = 1;
    for (qsizetype r = 0; r < records.size(); ++r) {
        const QString text = records[r] + Cr;
        for (qsizetype at = 0; at < text.size(); at += m_frameSize) {
            const bool endsRecord = at + m_frameSize >= text.size();
            const bool endsMessage = endsRecord && r == records.size() - 1;
            const bool etx = m_chained ? endsMessage : endsRecord;
            out << Frame(number++, text.mid(at, m_frameSize), etx ? Etx : Etb);
        }
    }
    return out;
}

QByteArray AstmAnalyzerRole::readUnit(SimSession& s, int timeoutMs)
{
    return s.line().readUntil(timeoutMs, [](QByteArray& pending) -> qsizetype {
        qsizetype skip = 0;
        while (skip < pending.size()) {
            const char c = pending.at(skip);
            if (c == Stx || c == Eot || c == Enq || c == Ack || c == Nak)
                break;
            ++skip;
        }
        pending.remove(0, skip);
        if (pending.isEmpty())
            return 0;
        if (pending.at(0) != Stx)
            return 1;
        const qsizetype lf = pending.indexOf('\n');
        return lf < 0 ? 0 : lf + 1;
    });
}

QByteArray AstmAnalyzerRole::reply(SimSession& s, const QString& text, bool counted)
{
    s.send(text, counted);
    const QByteArray unit = readUnit(s, s.options().timeoutMs);
    if (!unit.isEmpty())
        s.printAnswer(QString::fromLatin1(unit));
    return unit;
}

bool AstmAnalyzerRole::bid(SimSession& s, int line, bool insist, bool retryFollows)
{
    if (!insist) {
        const QByteArray unit = reply(s, QString(QLatin1Char(Enq)), true);
        if (unit.isEmpty()) {
            if (!retryFollows)
                s.fail(QStringLiteral("no answer within %1 ms (script line %2): ACK to ENQ expected")
                           .arg(s.options().timeoutMs)
                           .arg(line));
            return false;
        }
        ++s.answered;
        return s.check(unit == QByteArray(1, Ack), line,
                       QStringLiteral("ACK to ENQ, got %1").arg(Named(QString::fromLatin1(unit))));
    }
    // Both bid: the instrument keeps bidding until the host yields with ACK. The Indiko's host
    // answers the first contention with two ENQs: the second is no new bid.
    int bids = 0;
    for (;;) {
        const QByteArray unit = readUnit(s, s.options().timeoutMs);
        s.printAnswer(QString::fromLatin1(unit));
        if (unit == QByteArray(1, Enq)) {
            ++bids;
            if (!m_chained && bids == 3)
                continue;
            s.send(QString(QLatin1Char(Enq)), false);
            continue;
        }
        return s.check(
            unit == QByteArray(1, Ack) && bids > 0, line,
            QStringLiteral("the host's ENQ and then its ACK, got %1").arg(Named(QString::fromLatin1(unit))));
    }
}

AstmAnalyzerRole::Delivery AstmAnalyzerRole::deliver(SimSession& s, int line, const QStringList& out,
                                                     const Faults& f, bool retryFollows)
{
    const QString eot = QString(QLatin1Char(Eot));
    if (!bid(s, line, f.insist, retryFollows)) {
        s.send(eot, false);
        return Delivery::Failed;
    }
    for (qsizetype i = 0; i < out.size(); ++i) {
        const int k = int(i + 1);
        const QString& frame = out[i];
        // Broken copies of the frame go first; the host must refuse each with NAK.
        QString wrongSum = frame;
        const QString sum = frame.mid(frame.size() - 4, 2);
        wrongSum.replace(frame.size() - 4, 2,
                         sum == QLatin1String("00") ? QStringLiteral("01") : QStringLiteral("00"));
        QStringList broken;
        if (f.corrupt == k)
            broken = QStringList(f.corruptTimes, wrongSum);
        if (f.wrongNumber == k)
            broken << Frame(k + 1, frame.mid(2, frame.size() - 7), frame.at(frame.size() - 5).toLatin1());
        if (f.abort == k)
            broken = QStringList(6, wrongSum);
        int attempts = 0;
        for (const QString& bad : std::as_const(broken)) {
            const QByteArray unit = reply(s, bad, false);
            ++attempts;
            if (!s.check(unit == QByteArray(1, Nak), line,
                         QStringLiteral("NAK to a broken frame %1, got %2")
                             .arg(k)
                             .arg(Named(QString::fromLatin1(unit))))) {
                s.send(eot, false);
                return Delivery::Failed;
            }
            if (attempts == 6) {
                s.say(QStringLiteral("frame %1 refused six times: EOT, the message is given up").arg(k));
                s.send(eot, false);
                return Delivery::Aborted;
            }
        }
        // The frame itself, sent again after each NAK: six attempts in all, as E1381 allows.
        for (bool first = true;; first = false) {
            const QByteArray unit = reply(s, frame, first);
            ++attempts;
            if (unit == QByteArray(1, Ack) || unit == QByteArray(1, Eot))
                break;
            if (unit.isEmpty()) {
                if (!retryFollows)
                    s.fail(QStringLiteral("no answer within %1 ms (script line %2): ACK to frame %3 expected")
                               .arg(s.options().timeoutMs)
                               .arg(line)
                               .arg(k));
                s.send(eot, false);
                return Delivery::Failed;
            }
            s.check(false, line,
                    QStringLiteral("ACK to frame %1, got %2").arg(k).arg(Named(QString::fromLatin1(unit))));
            if (attempts >= 6) {
                s.send(eot, false);
                return Delivery::Failed;
            }
        }
        ++s.answered;
        if (f.loseAck == k) {
            const QByteArray unit = reply(s, frame, false);
            s.check(unit == QByteArray(1, Ack), line,
                    QStringLiteral("ACK to frame %1 sent again, got %2")
                        .arg(k)
                        .arg(Named(QString::fromLatin1(unit))));
        }
        if (f.hold == k) {
            s.say(QStringLiteral("mid-message"));
            QThread::msleep(ulong(f.holdMs));
        }
    }
    s.send(eot, false);
    return Delivery::Delivered;
}

void AstmAnalyzerRole::sendMessage(SimSession& s, int line, const QStringList& records)
{
    Faults f = std::exchange(m_next, {});
    const QStringList out = frames(records);
    const int retries = s.options().retries;
    Delivery delivery = deliver(s, line, out, f, retries > 0);
    // A message given up on purpose is sent again in full, as the instrument does, unless the script
    // drops it; one that failed is sent again as often as --retry allows. The faults were the first
    // attempt's.
    const bool dropped = delivery == Delivery::Aborted && f.abortDrop;
    if (delivery == Delivery::Aborted && !dropped)
        delivery = deliver(s, line, out, {}, retries > 0);
    for (int retry = 0; delivery == Delivery::Failed && retry < retries; ++retry) {
        s.say(
            QStringLiteral("message not delivered, sending it again (%1 of %2)").arg(retry + 1).arg(retries));
        delivery = deliver(s, line, out, {}, retry + 1 < retries);
    }
    const bool all = delivery == Delivery::Delivered;
    QString sampleId;
    qsizetype results = 0;
    m_queryId.clear();
    for (const QString& r : records) {
        if (r.startsWith(QLatin1Char('O')) && sampleId.isEmpty())
            sampleId = SampleIdOf(r);
        else if (r.startsWith(QLatin1Char('R')))
            ++results;
        else if (r.startsWith(QLatin1Char('Q')) && all && m_queryId.isEmpty())
            m_queryId = SampleIdOf(r);
    }
    m_queryEnd = s.lastSentAt();
    if (results == 0)
        return;
    if (dropped) {
        s.recordAborted(sampleId, results);
        return;
    }
    ++s.resultsSent;
    if (all)
        ++s.resultsAnswered;
    s.recordResult(all, sampleId, results);
}

void AstmAnalyzerRole::expectAnswer(SimSession& s, int line, const QStringList& expected)
{
    const Faults f = std::exchange(m_next, {});
    const int timeout = s.options().timeoutMs;
    const QString queryId = std::exchange(m_queryId, {});
    QByteArray unit = readUnit(s, timeout);
    s.printAnswer(QString::fromLatin1(unit));
    if (!s.check(unit == QByteArray(1, Enq), line,
                 QStringLiteral("the host's bid (ENQ), got %1").arg(Named(QString::fromLatin1(unit)))))
        return;
    int hostWrites = 1;
    if (f.clash) {
        // Both bid: the host bids once more (the Indiko's host with two ENQs) and then sends.
        s.send(QString(QLatin1Char(Enq)), false);
        for (int enqs = m_chained ? 1 : 2; enqs > 0; --enqs) {
            unit = readUnit(s, timeout);
            s.printAnswer(QString::fromLatin1(unit));
            if (!s.check(
                    unit == QByteArray(1, Enq), line,
                    QStringLiteral("the host's ENQ again, got %1").arg(Named(QString::fromLatin1(unit)))))
                return;
            ++hostWrites;
        }
    }
    s.send(QString(QLatin1Char(Ack)), false);

    QString text;
    int number = 1;
    for (;;) {
        unit = readUnit(s, timeout);
        if (!s.check(!unit.isEmpty(), line, QStringLiteral("the rest of the host's answer")))
            return;
        const QString frame = QString::fromLatin1(unit);
        s.printAnswer(frame);
        ++hostWrites;
        if (unit == QByteArray(1, Eot))
            break;
        if (!s.check(unit.at(0) == Stx && frame.size() >= 7, line,
                     QStringLiteral("a frame or EOT, got %1").arg(Named(frame))))
            return;
        const QString body = frame.mid(1, frame.size() - 5);
        s.check(frame.right(4) == Checksum(body) + Cr + Lf, line,
                QStringLiteral("checksum %1 in %2").arg(Checksum(body), Named(frame)));
        s.check(body.at(0) == QLatin1Char(char('0' + number % 8)), line,
                QStringLiteral("frame number %1 in %2").arg(number % 8).arg(Named(frame)));
        // Refusals of this frame: NAKs, or an ACK garbled on the line (which counts as a NAK); the
        // host must send the same frame again each time.
        const int refusals = f.nak == number ? f.nakTimes : f.garble == number ? 1 : 0;
        for (int r = 0; r < refusals; ++r) {
            s.send(f.nak == number ? QString(QLatin1Char(Nak)) : QString(GarbledAck), false);
            const QByteArray again = readUnit(s, timeout);
            s.printAnswer(QString::fromLatin1(again));
            ++hostWrites;
            if (!s.check(again == unit, line,
                         QStringLiteral("frame %1 again after %2, got %3")
                             .arg(number)
                             .arg(f.nak == number ? QStringLiteral("NAK") : QStringLiteral("a garbled ACK"),
                                  Named(QString::fromLatin1(again)))))
                return;
        }
        text += body.mid(1, body.size() - 2);
        ++number;
        s.send(QString(QLatin1Char(Ack)), false);
    }
    // The answer to a query sent just before: timed to its EOT.
    if (!queryId.isEmpty())
        s.recordInquiry(queryId, m_queryEnd, hostWrites, m_chained ? 0 : IndikoPauseMs);
    const QStringList records = text.split(Cr, Qt::SkipEmptyParts);
    s.check(
        records.size() == expected.size(), line,
        QStringLiteral("%1 records, got %2: %3").arg(expected.size()).arg(records.size()).arg(Named(text)));
    for (qsizetype i = 0; i < qMin(records.size(), expected.size()); ++i)
        s.check(Matches(expected[i], records[i]), line,
                QStringLiteral("record %1: %2, got %3").arg(i + 1).arg(expected[i], records[i]));
}

bool AstmAnalyzerRole::parse(const ScriptLine& line, SimStep& step, QString* error)
{
    const QString& verb = line.verb;
    const int n = line.number;
    const int value = line.words.value(0).toInt();
    const auto needsNumber = [&] {
        if (value > 0)
            return false;
        *error = QStringLiteral("line %1: %2 needs a number above 0").arg(n).arg(verb);
        return true;
    };

    if (verb == QLatin1String("send") || verb == QLatin1String("expect-answer")) {
        const QStringList records = Records(line.rest);
        if (records.isEmpty()) {
            *error = QStringLiteral("line %1: %2 needs records").arg(n).arg(verb);
            return true;
        }
        if (verb == QLatin1String("send"))
            step = [this, n, records](SimSession& s) { sendMessage(s, n, records); };
        else
            step = [this, n, records](SimSession& s) { expectAnswer(s, n, records); };
    } else if (verb == QLatin1String("frame-size")) {
        if (needsNumber())
            return true;
        step = [this, value](SimSession&) { m_frameSize = value; };
    } else if (verb == QLatin1String("corrupt")) {
        const int times = qMax(1, line.words.value(1, QStringLiteral("1")).toInt());
        if (!needsNumber())
            step = [this, value, times](SimSession&) {
                m_next.corrupt = value;
                m_next.corruptTimes = times;
            };
    } else if (verb == QLatin1String("wrong-number")) {
        if (!needsNumber())
            step = [this, value](SimSession&) { m_next.wrongNumber = value; };
    } else if (verb == QLatin1String("lose-ack")) {
        if (!needsNumber())
            step = [this, value](SimSession&) { m_next.loseAck = value; };
    } else if (verb == QLatin1String("abort")) {
        const bool drop = line.words.value(1) == QLatin1String("drop");
        if (!needsNumber())
            step = [this, value, drop](SimSession&) {
                m_next.abort = value;
                m_next.abortDrop = drop;
            };
    } else if (verb == QLatin1String("hold")) {
        const int ms = line.words.value(1).toInt();
        if (!needsNumber())
            step = [this, value, ms](SimSession&) {
                m_next.hold = value;
                m_next.holdMs = ms;
            };
    } else if (verb == QLatin1String("nak")) {
        const int times = qMax(1, line.words.value(1, QStringLiteral("1")).toInt());
        if (!needsNumber())
            step = [this, value, times](SimSession&) {
                m_next.nak = value;
                m_next.nakTimes = times;
            };
    } else if (verb == QLatin1String("garble")) {
        if (!needsNumber())
            step = [this, value](SimSession&) { m_next.garble = value; };
    } else if (verb == QLatin1String("clash")) {
        step = [this](SimSession&) { m_next.clash = true; };
    } else if (verb == QLatin1String("insist")) {
        step = [this](SimSession&) { m_next.insist = true; };
    } else if (verb == QLatin1String("expect-quiet")) {
        if (needsNumber())
            return true;
        step = [value, n](SimSession& s) {
            const QByteArray came = s.line().drain(value);
            s.check(came.isEmpty(), n,
                    QStringLiteral("nothing from the host, got %1").arg(Named(QString::fromLatin1(came))));
        };
    } else {
        return false;
    }
    return true;
}

} // namespace QuorlixSim
