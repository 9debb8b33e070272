#include "FrameText.h"

#include <cmath>
#include <limits>

namespace Quorlix {

QString MidOneBased(const QString& text, qsizetype position, qsizetype n)
{
    if (position < 1 || n <= 0 || position > text.size())
        return {};
    return text.mid(position - 1, n);
}

QString RightAligned(const QString& text, qsizetype width)
{
    if (width <= 0)
        return {};
    if (text.size() >= width)
        return text.right(width);
    return QString(width - text.size(), QLatin1Char(' ')) + text;
}

std::optional<QString> FittedNumber(const QString& value, qsizetype width)
{
    if (value.size() <= width)
        return value;
    bool number = false;
    const double v = value.trimmed().toDouble(&number);
    if (!number || !std::isfinite(v))
        return std::nullopt;
    for (qsizetype decimals = qMax<qsizetype>(width - 2, 0); decimals >= 0; --decimals) {
        QString rounded = QString::number(v, 'f', int(decimals));
        if (rounded.contains(QLatin1Char('.'))) {
            while (rounded.endsWith(QLatin1Char('0')))
                rounded.chop(1);
            if (rounded.endsWith(QLatin1Char('.')))
                rounded.chop(1);
        }
        if (rounded == QLatin1String("-0"))
            rounded = QStringLiteral("0");
        if (rounded.size() <= width)
            return rounded;
    }
    return std::nullopt;
}

QString LeftAligned(const QString& text, qsizetype width)
{
    if (width <= 0)
        return {};
    if (text.size() >= width)
        return text.left(width);
    return text + QString(width - text.size(), QLatin1Char(' '));
}

QString WithoutBlanks(const QString& text)
{
    QString out = text;
    out.remove(QLatin1Char(' '));
    return out;
}

FieldNumber ReadNumber(const QString& field)
{
    QString t;
    t.reserve(field.size());
    for (const QChar c : field) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            t += c;
    }
    qsizetype i = 0;
    const auto isDigit = [&](qsizetype at) {
        return at < t.size() && t.at(at) >= QLatin1Char('0') && t.at(at) <= QLatin1Char('9');
    };
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (i < t.size() && t.at(i) == QLatin1Char('.')) {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return {};
    qsizetype end = i;
    if (i < t.size() && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < t.size() && (t.at(j) == QLatin1Char('+') || t.at(j) == QLatin1Char('-')))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            end = j;
        }
    }
    bool ok = false;
    const double value = t.left(end).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return {};
    return {value, true};
}

std::optional<qint16> ReadInteger(const QString& field)
{
    const FieldNumber n = ReadNumber(field);
    if (!n.numeric)
        return std::nullopt;
    const double rounded = std::nearbyint(n.value);
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

QString FramePayload(const QString& frame)
{
    const qsizetype etx = frame.indexOf(Etx, 1);
    return etx < 0 ? frame : frame.left(etx);
}

} // namespace Quorlix
