#include "SqlHelpers.h"

#include "Database.h"

#include <QRegularExpression>
#include <cmath>

namespace Quorlix {

QString Translate(Database& db, const QString& language, qint32 key)
{
    static const QRegularExpression columnName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!columnName.match(language).hasMatch())
        return QStringLiteral("@N/A");
    const SqlDialect& d = db.dialect();
    SqlResult row = db.run(QStringLiteral("SELECT %1, %2 FROM textstrings WHERE %3 = ?")
                               .arg(d.quoteIdentifier(language), d.quoteIdentifier(QStringLiteral("english")),
                                    d.quoteIdentifier(QStringLiteral("key"))),
                           {key});
    if (!row.next())
        return QStringLiteral("@N/A");
    const QVariant own = row.value(0);
    if (own.isNull() || own.toString().isEmpty()) {
        const QVariant english = row.value(1);
        return english.isNull() ? QStringLiteral("@N/A") : english.toString();
    }
    return own.toString();
}

QString NullToText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

float NumOrZero(const QVariant& value)
{
    if (value.isNull())
        return 0;
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok && std::isfinite(number) ? static_cast<float>(number) : 0.0f;
}

qint16 ParameterIdByShort(Database& db, const QString& shortName)
{
    SqlResult row = db.run(QStringLiteral("SELECT parameter_id FROM test_def WHERE short = ?"), {shortName});
    return row.next() ? static_cast<qint16>(row.value(0).toInt()) : qint16(0);
}

QVariant NumericOrNull(const QString& text, bool* wasNumber)
{
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    bool ok = false;
    const double number = digits.toDouble(&ok);
    const bool usable = ok && std::isfinite(number);
    if (wasNumber)
        *wasNumber = usable;
    return usable ? QVariant(number) : Database::null();
}

QString Placeholders(qsizetype count, QLatin1StringView each)
{
    QString text;
    text.reserve(count * (each.size() + 2));
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            text += QLatin1String(", ");
        text += each;
    }
    return text;
}

} // namespace Quorlix
