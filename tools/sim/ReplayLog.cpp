#include "ReplayLog.h"

#include "core/CommLog.h"
#include "core/Stamps.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace QuorlixSim {

namespace {

// The stamp, the direction and the frame as logged; the stamp holds blanks itself.
const QRegularExpression& FrameLine()
{
    static const QRegularExpression re(QStringLiteral("^(.+?)  (A->H|H->A|L->H|H->L)(.*)$"));
    return re;
}

QDateTime ReadStamp(const QString& stamp)
{
    // The instance writes its stamps in the system's locale; the replay reads them the same way.
    const QDateTime at = Quorlix::FromSqlStamp(Quorlix::ToSqlStamp(stamp, QLocale()));
    return at.isValid() && at.time().isValid() ? at : QDateTime();
}

// The clock's date-time forms found in answers (an ASTM header; a LIMS frame's header).
QDateTime ReadClockTime(const QByteArray& digits)
{
    if (digits.size() == 14)
        return QDateTime::fromString(QString::fromLatin1(digits), QStringLiteral("yyyyMMddHHmmss"));
    if (digits.size() == 10) {
        const QDateTime at = QDateTime::fromString(QString::fromLatin1(digits), QStringLiteral("MMddyyHHmm"));
        return at.isValid() ? at.addYears(100) : at; // "yy" reads as 19yy
    }
    return {};
}

// A handshake character and the instance's note on why it wrote it: the character alone was on
// the line.
QByteArray WithoutNote(const QByteArray& logged)
{
    const bool handshake = !logged.isEmpty() && QByteArray("\x04\x05\x06\x15").contains(logged.front());
    const bool noted = logged.size() > 1 &&
                       std::none_of(logged.begin() + 1, logged.end(), [](char c) { return uchar(c) < 0x20; });
    return handshake && noted ? logged.left(1) : logged;
}

bool IsHandshake(const LoggedFrame& frame)
{
    return !frame.bytes.isEmpty() && std::all_of(frame.bytes.begin(), frame.bytes.end(),
                                                 [](char c) { return c == '\x06' || c == '\x15'; });
}

// An instance logs a message of several frames once it is complete, after it acknowledged each of
// its frames: those acknowledgements, logged just before it, are its answer.
void TakeAcknowledgements(ReplayTurn& previous, ReplayTurn& turn)
{
    qsizetype frames = turn.played.bytes.count('\x02') + turn.played.bytes.count('\x05');
    if (turn.played.bytes.count('\x02') < 2)
        return;
    while (frames > 0 && !previous.answers.isEmpty() && IsHandshake(previous.answers.last()) &&
           previous.answers.last().link == turn.played.link) {
        turn.answers.prepend(previous.answers.takeLast());
        --frames;
    }
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

QByteArray ReplayTurn::expected(ReplayLink link) const
{
    QByteArray bytes;
    for (const LoggedFrame& answer : answers) {
        if (answer.link == link)
            bytes += answer.bytes;
    }
    return bytes;
}

int ReplayTurn::expectedLine(ReplayLink link) const
{
    for (const LoggedFrame& answer : answers) {
        if (answer.link == link)
            return answer.lineNumber;
    }
    return 0;
}

QString ReadCommLog(const QString& text, QList<ReplayTurn>& turns, QDateTime* firstStamp)
{
    turns.clear();
    turns.append(ReplayTurn{}); // what the instance sends before the first frame played
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(QLatin1String("Monitor: ")))
            continue;
        const QRegularExpressionMatch m = FrameLine().match(lines.at(i));
        if (!m.hasMatch())
            continue;
        LoggedFrame frame;
        frame.lineNumber = int(i + 1);
        frame.at = ReadStamp(m.captured(1));
        if (!frame.at.isValid())
            return QStringLiteral("line %1: \"%2\" is no date and time of this system's locale")
                .arg(frame.lineNumber)
                .arg(m.captured(1));
        const QString direction = m.captured(2);
        frame.link = direction.contains(QLatin1Char('L')) ? ReplayLink::Lims : ReplayLink::Analyzer;
        frame.toHost = direction.endsWith(QLatin1Char('H'));
        frame.bytes = WithoutNote(Quorlix::NamesToControlChars(m.captured(3)).toLatin1());
        if (firstStamp && !firstStamp->isValid())
            *firstStamp = frame.at;
        if (frame.toHost) {
            ReplayTurn turn;
            turn.plays = true;
            turn.played = frame;
            TakeAcknowledgements(turns.last(), turn);
            turns.append(turn);
        } else {
            turns.last().answers.append(frame);
        }
    }
    if (turns.size() == 1)
        return QStringLiteral("the log holds no frame received by the instance");
    return {};
}

bool DiffersOnlyInClockTime(const QByteArray& expected, const QByteArray& received, const QDateTime& from,
                            const QDateTime& to)
{
    if (expected.size() != received.size() || !from.isValid())
        return false;
    std::vector<bool> excepted(size_t(expected.size()), false);
    for (qsizetype i = 0; i < expected.size();) {
        qsizetype end = i;
        while (end < expected.size() && IsDigit(expected.at(end)))
            ++end;
        if (end == i) {
            ++i;
            continue;
        }
        const QDateTime logged = ReadClockTime(expected.mid(i, end - i));
        const QDateTime got = ReadClockTime(received.mid(i, end - i));
        if (logged.isValid() && got.isValid() && logged >= from.addSecs(-120) && logged <= to.addSecs(120)) {
            std::fill(excepted.begin() + i, excepted.begin() + end, true);
            // A frame with a check sum carries it in the two characters after its ETX or ETB.
            const qsizetype etx = expected.indexOf('\x03', end);
            const qsizetype etb = expected.indexOf('\x17', end);
            const qsizetype close = etx < 0 ? etb : etb < 0 ? etx : qMin(etx, etb);
            for (qsizetype k = close + 1; close >= 0 && k <= close + 2 && k < expected.size(); ++k)
                excepted[size_t(k)] = true;
        }
        i = end;
    }
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected.at(i) != received.at(i) && !excepted[size_t(i)])
            return false;
    }
    return true;
}

} // namespace QuorlixSim
