#include "E1381Frame.h"

#include "core/FrameText.h"

namespace Quorlix {

namespace {

// The value of a hexadecimal digit (either case); -1 for any other character.
int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

} // namespace

QString E1381Checksum(QStringView numberToEnd)
{
    unsigned sum = 0;
    for (const QChar c : numberToEnd)
        sum += c.unicode();
    return QStringLiteral("%1").arg(sum % 256, 2, 16, QLatin1Char('0')).toUpper();
}

QString BuildE1381Frame(int number, QStringView text, QChar end)
{
    QString numbered = QString::number(number % 8);
    numbered += text;
    numbered += end;
    return Stx + numbered + E1381Checksum(numbered) + Cr + Lf;
}

QStringList BuildE1381Message(const QStringList& records, bool chained)
{
    QStringList frames;
    int number = 1;
    for (qsizetype r = 0; r < records.size(); ++r) {
        const QString text = QString::fromLatin1(records[r].toLatin1()) + Cr;
        for (qsizetype at = 0; at < text.size(); at += E1381Frame::MaxText) {
            const bool endsRecord = at + E1381Frame::MaxText >= text.size();
            const bool endsMessage = endsRecord && r == records.size() - 1;
            const bool etx = chained ? endsMessage : endsRecord;
            frames << BuildE1381Frame(number, QStringView(text).mid(at, E1381Frame::MaxText),
                                      etx ? Etx : Etb);
            number = (number + 1) % 8;
        }
    }
    return frames;
}

E1381Frame ParseE1381Frame(QStringView raw)
{
    E1381Frame frame;
    // STX FN [text] ETX|ETB C1 C2 CR
    if (raw.size() < 6 || raw.front() != Stx || raw.back() != Cr) {
        frame.problem = QStringLiteral("frame does not end with checksum, CR, LF");
        return frame;
    }
    const QChar end = raw[raw.size() - 4];
    if (end != Etx && end != Etb) {
        frame.problem = QStringLiteral("frame does not end with ETX or ETB and checksum");
        return frame;
    }
    const QChar digit = raw[1];
    if (digit < QLatin1Char('0') || digit > QLatin1Char('7')) {
        frame.problem = QStringLiteral("frame number \"%1\" is not 0 to 7").arg(digit);
        return frame;
    }
    const QStringView counted = raw.mid(1, raw.size() - 4);
    unsigned sum = 0;
    for (const QChar c : counted)
        sum += c.unicode();
    const QStringView received = raw.mid(raw.size() - 3, 2);
    const int high = HexDigit(received[0]);
    const int low = HexDigit(received[1]);
    if (high < 0 || low < 0 || high * 16 + low != int(sum % 256)) {
        frame.problem = QStringLiteral("frame with checksum %1 where %2 was computed")
                            .arg(received.toString(), E1381Checksum(counted));
        return frame;
    }
    frame.number = digit.unicode() - '0';
    frame.text = raw.mid(2, raw.size() - 6).toString();
    frame.last = end == Etx;
    return frame;
}

} // namespace Quorlix
