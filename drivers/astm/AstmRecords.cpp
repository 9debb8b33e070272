#include "AstmRecords.h"

namespace Quorlix::Astm {

QStringList AstmFields(const QString& record)
{
    return record.split(QLatin1Char('|'));
}

QStringList AstmComponents(const QString& field)
{
    return field.split(QLatin1Char('^'));
}

QString AstmText(const QString& value)
{
    QString text = value;
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c == QLatin1Char('|'))
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace Quorlix::Astm
