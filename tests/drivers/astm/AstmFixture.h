#pragma once

// Line characters for the ASTM driver tests, written from the E1381 layout: frames, checksums,
// and what a driver wrote, in a short script form.
#include "core/CommLog.h"
#include "core/FrameText.h"

#include <QStringList>

namespace Quorlix::Test::Astm {

// The checksum as the layout defines it: the character codes from the frame number to ETX or ETB
// inclusive, modulo 256, as two upper-case hexadecimal digits.
inline QString Sum(const QString& numberToEnd)
{
    int sum = 0;
    for (const QChar c : numberToEnd)
        sum += c.unicode();
    return QString::number(sum % 256, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

inline QString Named(QString text)
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
inline QString LineChars(const QString& script)
{
    const QStringList parts = script.split(QLatin1Char('['));
    QString out = Named(parts.front());
    for (const QString& part : parts.mid(1)) {
        QString inner = Named(part.section(QLatin1Char(']'), 0, 0));
        if (!inner.endsWith(Etx) && !inner.endsWith(Etb))
            inner += QString(Cr) + Etx;
        out += Stx + inner + Sum(inner) + Cr + Lf + Named(part.section(QLatin1Char(']'), 1));
    }
    return out;
}

// A written text back in script form: a sound frame as "[...]" (without the CR and ETX that end a
// record), anything else by names.
inline QString Shown(const QString& text)
{
    const QString inner = text.mid(1, text.size() - 5);
    if (!text.startsWith(Stx) || text.size() < 6 || text.right(4) != Sum(inner) + Cr + Lf)
        return ControlCharsToNames(text);
    QString named = ControlCharsToNames(inner);
    if (named.endsWith(QLatin1String("{CR}{ETX}")))
        named.chop(9);
    return QLatin1Char('[') + named + QLatin1Char(']');
}

// A line's operations ("pause N" and the texts sent) in script form: "p" before a text written
// after a pause, the texts separated by blanks.
inline QString Rendered(const QStringList& operations)
{
    QStringList out;
    bool paused = false;
    for (const QString& op : operations) {
        if (op.startsWith(QLatin1String("pause "))) {
            paused = true;
            continue;
        }
        out << (paused ? QStringLiteral("p") : QString()) + Shown(op);
        paused = false;
    }
    return out.join(QLatin1Char(' '));
}

} // namespace Quorlix::Test::Astm
