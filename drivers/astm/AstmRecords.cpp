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

namespace {

// The character an escape sequence of one letter stands for; a null character for none.
QChar Escaped(QChar letter, const Delimiters& d)
{
    switch (letter.unicode()) {
    case 'F':
        return d.field;
    case 'R':
        return d.repeat;
    case 'S':
        return d.component;
    case 'E':
        return d.escape;
    }
    return {};
}

QString Unescaped(QStringView text, const Delimiters& d)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == d.escape && i + 2 < text.size() && text[i + 2] == d.escape) {
            if (const QChar meant = Escaped(text[i + 1], d); !meant.isNull()) {
                out += meant;
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString Escape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '|':
            out += QLatin1String("&F&");
            break;
        case '\\':
            out += QLatin1String("&R&");
            break;
        case '^':
            out += QLatin1String("&S&");
            break;
        case '&':
            out += QLatin1String("&E&");
            break;
        default:
            out += c.unicode() < 0x20 ? QLatin1Char(' ') : c;
        }
    }
    return out;
}

} // namespace

Delimiters Delimiters::ofHeader(const QString& record)
{
    Delimiters d;
    if (record.size() < 5 || record.front() != QLatin1Char('H'))
        return d;
    const QChar declared[] = {record[1], record[2], record[3], record[4]};
    // Four different characters that are not letters, digits or blanks, or the declaration is
    // not one.
    for (qsizetype i = 0; i < 4; ++i) {
        if (declared[i].isLetterOrNumber() || declared[i].isSpace() || declared[i].unicode() < 0x20)
            return d;
        for (qsizetype j = 0; j < i; ++j) {
            if (declared[i] == declared[j])
                return d;
        }
    }
    return {declared[0], declared[1], declared[2], declared[3]};
}

QString UsualDelimiters(const QString& record, const Delimiters& declared)
{
    const Delimiters usual;
    if (declared == usual)
        return record;
    const bool header = record.startsWith(QLatin1Char('H'));
    QStringList fields = record.split(declared.field);
    for (qsizetype f = 0; f < fields.size(); ++f) {
        if (header && f == 1) {
            fields[f] = QStringLiteral("\\^&");
            continue;
        }
        QStringList repeats = fields[f].split(declared.repeat);
        for (QString& repeat : repeats) {
            QStringList components = repeat.split(declared.component);
            for (QString& component : components)
                component = Escape(Unescaped(component, declared));
            repeat = components.join(usual.component);
        }
        fields[f] = repeats.join(usual.repeat);
    }
    return fields.join(usual.field);
}

QString AstmUnescaped(QStringView text)
{
    if (!text.contains(QLatin1Char('&')))
        return text.toString();
    return Unescaped(text, Delimiters());
}

QString AstmText(const QString& value)
{
    return Escape(value);
}

} // namespace Quorlix::Astm
