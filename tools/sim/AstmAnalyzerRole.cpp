#include "AstmAnalyzerRole.h"

#include "SimSession.h"
#include "core/CommLog.h"

#include <QRegularExpression>

namespace QuorlixSim {

namespace {

const char Stx = 0x02, Etx = 0x03, Eot = 0x04, Enq = 0x05, Ack = 0x06, Nak = 0x15, Etb = 0x17;
const QChar Cr(0x0D), Lf(0x0A);

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

QString AstmAnalyzerRole::help() const
{
    return QStringLiteral(
        "  send REC; REC; ...                     one message: ENQ, the records in frames, EOT; every\n"
        "                                         frame must be acknowledged ({0x23} writes #)\n"
        "  expect-answer REC; REC; ...            the host bids and sends exactly these records; {time}\n"
        "                                         stands for 14 digits, {*} for any field\n"
        "  frame-size N                           frames of at most N characters (longer records: ETB)\n"
        "  corrupt N | wrong-number N             next send: frame N first with a wrong checksum or frame\n"
        "                                         number; the host must answer NAK\n"
        "  lose-ack N                             next send: frame N again after its ACK, as if the ACK\n"
        "                                         was lost; the host must acknowledge it again\n"
        "  nak N                                  next answer: NAK for the host's frame N; it must come "
        "again\n"
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

bool AstmAnalyzerRole::exchange(SimSession& s, int line, const QString& text, char wanted,
                                const QString& what)
{
    s.send(text);
    const QByteArray unit = readUnit(s, s.options().timeoutMs);
    if (unit.isEmpty()) {
        s.fail(QStringLiteral("no answer within %1 ms (script line %2): %3 expected")
                   .arg(s.options().timeoutMs)
                   .arg(line)
                   .arg(what));
        return false;
    }
    ++s.answered;
    s.printAnswer(QString::fromLatin1(unit));
    return s.check(unit.size() == 1 && unit.at(0) == wanted, line,
                   QStringLiteral("%1, got %2").arg(what, Named(QString::fromLatin1(unit))));
}

void AstmAnalyzerRole::sendMessage(SimSession& s, int line, const QStringList& records)
{
    const Faults f = std::exchange(m_next, {});
    const int timeout = s.options().timeoutMs;
    if (f.insist) {
        // Both bid: the instrument keeps bidding until the host yields with ACK.
        int bids = 0;
        for (;;) {
            const QByteArray unit = readUnit(s, timeout);
            s.printAnswer(QString::fromLatin1(unit));
            if (unit == QByteArray(1, Enq)) {
                ++bids;
                s.send(QString(QLatin1Char(Enq)), false);
                continue;
            }
            if (!s.check(unit == QByteArray(1, Ack) && bids > 0, line,
                         QStringLiteral("the host's ENQ and then its ACK, got %1")
                             .arg(Named(QString::fromLatin1(unit)))))
                return;
            break;
        }
    } else if (!exchange(s, line, QString(QLatin1Char(Enq)), Ack, QStringLiteral("ACK to ENQ"))) {
        return;
    }

    const QStringList out = frames(records);
    bool all = true;
    for (qsizetype i = 0; i < out.size() && all; ++i) {
        const int k = int(i + 1);
        const QString& frame = out[i];
        if (f.corrupt == k) {
            QString bad = frame;
            const QString sum = frame.mid(frame.size() - 4, 2);
            bad.replace(frame.size() - 4, 2,
                        sum == QLatin1String("00") ? QStringLiteral("01") : QStringLiteral("00"));
            all = exchange(s, line, bad, Nak, QStringLiteral("NAK to frame %1 with a wrong checksum").arg(k));
        }
        if (all && f.wrongNumber == k) {
            const QString text = frame.mid(2, frame.size() - 7);
            const char end = frame.at(frame.size() - 5).toLatin1();
            all = exchange(s, line, Frame(k + 1, text, end), Nak,
                           QStringLiteral("NAK to frame %1 with a wrong frame number").arg(k));
        }
        all = all && exchange(s, line, frame, Ack, QStringLiteral("ACK to frame %1").arg(k));
        if (all && f.loseAck == k)
            all = exchange(s, line, frame, Ack, QStringLiteral("ACK to frame %1 sent again").arg(k));
    }
    s.send(QString(QLatin1Char(Eot)), false);
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
    if (results > 0) {
        ++s.resultsSent;
        if (all)
            ++s.resultsAnswered;
        s.recordResult(all, sampleId, results);
    }
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
        // Both bid: the host bids once more and then sends.
        s.send(QString(QLatin1Char(Enq)), false);
        unit = readUnit(s, timeout);
        s.printAnswer(QString::fromLatin1(unit));
        if (!s.check(unit == QByteArray(1, Enq), line,
                     QStringLiteral("the host's second ENQ, got %1").arg(Named(QString::fromLatin1(unit)))))
            return;
        ++hostWrites;
    }
    s.send(QString(QLatin1Char(Ack)), false);

    QString text;
    int number = 1;
    bool refused = false;
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
        if (f.nak == number && !refused) {
            refused = true;
            s.send(QString(QLatin1Char(Nak)), false);
            const QByteArray again = readUnit(s, timeout);
            s.printAnswer(QString::fromLatin1(again));
            ++hostWrites;
            s.check(again == unit, line, QStringLiteral("frame %1 again after NAK").arg(number));
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
        if (!needsNumber())
            step = [this, value](SimSession&) { m_next.corrupt = value; };
    } else if (verb == QLatin1String("wrong-number")) {
        if (!needsNumber())
            step = [this, value](SimSession&) { m_next.wrongNumber = value; };
    } else if (verb == QLatin1String("lose-ack")) {
        if (!needsNumber())
            step = [this, value](SimSession&) { m_next.loseAck = value; };
    } else if (verb == QLatin1String("nak")) {
        if (!needsNumber())
            step = [this, value](SimSession&) { m_next.nak = value; };
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
