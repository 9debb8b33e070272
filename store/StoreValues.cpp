#include "StoreValues.h"

#include "core/Database.h"

#include <QLocale>
#include <cmath>

namespace Quorlix {

QVariant BoundText(const QString& text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

double NumberOfText(const QString& text)
{
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r'))
            compact.append(c);
    }
    qsizetype i = 0;
    const qsizetype n = compact.size();
    auto isDigit = [&](qsizetype at) {
        return at < n && compact.at(at).isDigit() && compact.at(at).unicode() < 128;
    };
    QString number;
    if (i < n && (compact.at(i) == QLatin1Char('-') || compact.at(i) == QLatin1Char('+')))
        number.append(compact.at(i++));
    bool digits = false;
    while (isDigit(i)) {
        number.append(compact.at(i++));
        digits = true;
    }
    if (i < n && compact.at(i) == QLatin1Char('.')) {
        number.append(compact.at(i++));
        while (isDigit(i)) {
            number.append(compact.at(i++));
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < n && QStringLiteral("eEdD").contains(compact.at(i))) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < n && (compact.at(j) == QLatin1Char('-') || compact.at(j) == QLatin1Char('+')))
            exponent.append(compact.at(j++));
        if (isDigit(j)) {
            while (isDigit(j))
                exponent.append(compact.at(j++));
            number.append(exponent);
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

bool IsNumericText(const QString& text)
{
    QString normal = text.trimmed();
    normal.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = normal.toDouble(&ok);
    return ok && std::isfinite(value);
}

QVariant DecimalOrNull(const QString& text)
{
    if (!IsNumericText(text))
        return Database::null();
    QString normal = text.trimmed();
    normal.replace(QLatin1Char(','), QLatin1Char('.'));
    return normal.toDouble();
}

QString NumberText(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return {};
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return value.toString();
    if (number == std::floor(number) && std::fabs(number) < 1e15)
        return QString::number(static_cast<qint64>(number));
    return QLocale::c().toString(number, 'f', QLocale::FloatingPointShortest);
}

} // namespace Quorlix
