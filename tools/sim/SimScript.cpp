#include "SimScript.h"

#include <QRegularExpression>

namespace QuorlixSim {

QString ScriptLine::option(const QString& name, const QString& fallback) const
{
    for (const QString& w : words) {
        if (w.startsWith(name + QLatin1Char('=')))
            return w.mid(name.size() + 1);
    }
    return fallback;
}

int ScriptLine::intOption(const QString& name, int fallback) const
{
    const QString value = option(name);
    return value.isEmpty() ? fallback : value.toInt();
}

QString NamesToControlChars(QString text)
{
    static const std::pair<const char*, char> names[] = {
        {"{STX}", 2}, {"{ETX}", 3}, {"{EOT}", 4},  {"{ENQ}", 5},  {"{ACK}", 6},
        {"{LF}", 10}, {"{CR}", 13}, {"{DC1}", 17}, {"{NAK}", 21}, {"{ETB}", 23}};
    for (const auto& [name, c] : names)
        text.replace(QLatin1String(name), QString(QChar(QLatin1Char(c))));
    // Any other byte as {0xNN}.
    static const QRegularExpression hex(QStringLiteral("\\{0x([0-9A-Fa-f]{2})\\}"));
    for (auto match = hex.match(text); match.hasMatch(); match = hex.match(text))
        text.replace(match.capturedStart(), match.capturedLength(),
                     QChar(match.captured(1).toInt(nullptr, 16)));
    return text;
}

QString CommonScriptHelp()
{
    return QStringLiteral(
        "  wait MS                                pause\n"
        "  say TEXT                               print TEXT\n"
        "  noise N                                N random bytes (never STX or ETX); no answer expected\n"
        "  overlong N                             STX and N random bytes without ETX; no answer expected\n"
        "  hangup MS                              the line goes away for MS milliseconds (--pty only)\n"
        "  listen S                               take whatever comes for S seconds, answering nothing\n"
        "                                         (--record: \"frame TEXT 1\" per frame, blanks as _)\n"
        "  deaf S                                 the same, noting nothing: a program stopped behind a\n"
        "                                         line that stays open\n"
        "  loop N ... end                         repeat, with {n} replaced by the pass number\n");
}

QString ExpandScript(const QString& text, QList<ScriptLine>& out)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    struct Loop
    {
        int count;
        QStringList body;
        int firstLine;
    };
    QList<Loop> loops;
    QList<std::pair<QString, int>> flat; // expanded lines with their line numbers

    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (const qsizetype hash = line.indexOf(QLatin1Char('#'));
            hash >= 0 && !line.trimmed().startsWith(QLatin1String("raw")))
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("loop "))) {
            loops.append({line.mid(5).trimmed().toInt(), {}, i + 1});
            continue;
        }
        if (line == QLatin1String("end")) {
            if (loops.isEmpty())
                return QStringLiteral("line %1: end without loop").arg(i + 1);
            const Loop loop = loops.takeLast();
            QStringList expanded;
            for (int n = 1; n <= loop.count; ++n)
                for (const QString& b : loop.body)
                    expanded << QString(b).replace(QLatin1String("{n}"), QString::number(n));
            if (loops.isEmpty()) {
                for (const QString& e : expanded)
                    flat.append({e, loop.firstLine});
            } else {
                loops.last().body << expanded;
            }
            continue;
        }
        if (!loops.isEmpty())
            loops.last().body << line;
        else
            flat.append({line, i + 1});
    }
    if (!loops.isEmpty())
        return QStringLiteral("line %1: loop without end").arg(loops.last().firstLine);

    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const auto& [line, lineNo] : flat) {
        ScriptLine l;
        l.words = line.split(blanks, Qt::SkipEmptyParts);
        l.verb = l.words.takeFirst().toLower();
        l.rest = line.section(QLatin1Char(' '), 1).trimmed();
        l.number = lineNo;
        out << l;
    }
    return {};
}

} // namespace QuorlixSim
