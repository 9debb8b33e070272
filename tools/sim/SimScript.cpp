#include "SimScript.h"

#include <QRegularExpression>

namespace QuorlixSim {

QString NamesToControlChars(QString text)
{
    static const std::pair<const char*, char> names[] = {{"{STX}", 2}, {"{ETX}", 3}, {"{EOT}", 4}, {"{ENQ}", 5},
                                                         {"{ACK}", 6}, {"{LF}", 10}, {"{CR}", 13}, {"{DC1}", 17},
                                                         {"{NAK}", 21}, {"{ETB}", 23}};
    for (const auto& [name, c] : names)
        text.replace(QLatin1String(name), QString(QChar(QLatin1Char(c))));
    // Any other byte as {0xNN}.
    static const QRegularExpression hex(QStringLiteral("\\{0x([0-9A-Fa-f]{2})\\}"));
    for (auto match = hex.match(text); match.hasMatch(); match = hex.match(text))
        text.replace(match.capturedStart(), match.capturedLength(), QChar(match.captured(1).toInt(nullptr, 16)));
    return text;
}

QString ScriptHelp()
{
    return QStringLiteral(
        "Script lines (one step each; # starts a comment):\n"
        "  model 911|902|912                      the analyzer model (default 911)\n"
        "  poll                                   STX > ETX; the host must answer >\n"
        "  repeat                                 STX ? ETX; the host must repeat its last answer\n"
        "  inquiry ID|- [class=A] [pos=P] [disc=D] [number=N]\n"
        "                                         order inquiry; the host must answer the selection\n"
        "  results CLASS ID CH=VALUE[:ALARM] ...  a results frame (routine/STAT, batch/real-time by CLASS)\n"
        "  control CLASS ID CH=VALUE ...          the same for a control sample\n"
        "  calibration CH R1,R2,R3,R4[:ALARM[:PROZONE]] ... [alarm=X] [sd=TEXT]\n"
        "                                         one standard per R1,R2,R3,R4 group\n"
        "  raw TEXT                               any frame; {STX} {ETX} ... name control characters,\n"
        "                                         {0xNN} any byte (also in ids)\n"
        "  expect TEXT                            the last answer must be exactly TEXT\n"
        "  expect-selection BITS                  the last order reply must select exactly BITS\n"
        "  wait MS                                pause\n"
        "  say TEXT                               print TEXT\n"
        "  noise N                                N random bytes (never STX or ETX); no answer expected\n"
        "  overlong N                             STX and N random bytes without ETX; no answer expected\n"
        "  hangup MS                              the line goes away for MS milliseconds (--pty only)\n"
        "  loop N ... end                         repeat, with {n} replaced by the pass number\n");
}

namespace {

QString ParseStep(const QString& line, int lineNo, SimStep& step, Model& model, bool* isModel)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList words = line.split(blanks, Qt::SkipEmptyParts);
    const QString verb = words.takeFirst().toLower();
    step.line = lineNo;
    *isModel = false;
    auto option = [&](const QString& name, int fallback) {
        for (const QString& w : words)
            if (w.startsWith(name + QLatin1Char('=')))
                return w.mid(name.size() + 1).toInt();
        return fallback;
    };

    if (verb == QLatin1String("model")) {
        *isModel = true;
        const QString m = words.value(0);
        if (m == QLatin1String("911"))
            model = Model::H911;
        else if (m == QLatin1String("902"))
            model = Model::H902;
        else if (m == QLatin1String("912"))
            model = Model::H912;
        else
            return QStringLiteral("line %1: model is 911, 902 or 912").arg(lineNo);
        return {};
    }
    if (verb == QLatin1String("poll")) {
        step.kind = SimStep::Poll;
        return {};
    }
    if (verb == QLatin1String("repeat")) {
        step.kind = SimStep::Repeat;
        return {};
    }
    if (verb == QLatin1String("inquiry")) {
        if (words.isEmpty())
            return QStringLiteral("line %1: inquiry needs a sample id").arg(lineNo);
        step.kind = SimStep::Inquiry;
        step.sample.id = words.first() == QLatin1String("-") ? QString() : NamesToControlChars(words.first()); // "-": blank
        for (const QString& w : words)
            if (w.startsWith(QLatin1String("class=")))
                step.sample.frameClass = w.at(6);
        step.sample.position = option(QStringLiteral("pos"), 1);
        step.sample.disc = option(QStringLiteral("disc"), 1);
        step.sample.number = option(QStringLiteral("number"), 1);
        return {};
    }
    if (verb == QLatin1String("results") || verb == QLatin1String("control")) {
        if (words.size() < 2 || words.first().size() != 1)
            return QStringLiteral("line %1: %2 CLASS ID CH=VALUE ...").arg(lineNo).arg(verb);
        step.kind = SimStep::Results;
        step.sample.frameClass = words.at(0).at(0);
        step.sample.id = NamesToControlChars(words.at(1));
        for (const QString& w : words.mid(2)) {
            if (w.startsWith(QLatin1String("pos=")) || w.startsWith(QLatin1String("number="))
                || w.startsWith(QLatin1String("disc="))) {
                continue;
            }
            const QStringList parts = w.split(QLatin1Char('='));
            if (parts.size() != 2)
                return QStringLiteral("line %1: %2 is not CH=VALUE").arg(lineNo).arg(w);
            SimResult r;
            r.channel = parts.at(0).toInt();
            const QStringList valueAlarm = parts.at(1).split(QLatin1Char(':'));
            r.value = valueAlarm.at(0) == QLatin1String("_") ? QString() : valueAlarm.at(0);
            if (valueAlarm.size() > 1 && !valueAlarm.at(1).isEmpty())
                r.alarm = valueAlarm.at(1).at(0);
            step.results << r;
        }
        step.sample.position = option(QStringLiteral("pos"), 1);
        step.sample.number = option(QStringLiteral("number"), 1);
        step.sample.disc = option(QStringLiteral("disc"), 1);
        return {};
    }
    if (verb == QLatin1String("calibration")) {
        if (words.isEmpty())
            return QStringLiteral("line %1: calibration CH R1,R2,R3,R4 ...").arg(lineNo);
        step.kind = SimStep::Calibration;
        step.channel = words.first().toInt();
        for (const QString& w : words.mid(1)) {
            if (w.startsWith(QLatin1String("alarm="))) {
                step.alarm = w.size() > 6 ? w.at(6) : QLatin1Char(' ');
                continue;
            }
            if (w.startsWith(QLatin1String("sd="))) {
                step.text = w.mid(3);
                continue;
            }
            const QStringList parts = w.split(QLatin1Char(':'));
            const QStringList readings = parts.at(0).split(QLatin1Char(','));
            if (readings.size() != 4)
                return QStringLiteral("line %1: a standard has four readings R1,R2,R3,R4").arg(lineNo);
            SimStandard s;
            for (int i = 0; i < 4; ++i)
                s.readings[i] = readings.at(i);
            if (parts.size() > 1 && !parts.at(1).isEmpty())
                s.alarm = parts.at(1).at(0);
            s.prozone = parts.value(2);
            step.standards << s;
        }
        return {};
    }
    const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
    if (verb == QLatin1String("raw")) {
        step.kind = SimStep::Raw;
        step.text = NamesToControlChars(rest);
        return {};
    }
    if (verb == QLatin1String("expect")) {
        step.kind = SimStep::Expect;
        step.text = NamesToControlChars(rest);
        return {};
    }
    if (verb == QLatin1String("expect-selection")) {
        step.kind = SimStep::ExpectSelection;
        step.text = rest;
        return {};
    }
    if (verb == QLatin1String("wait")) {
        step.kind = SimStep::Wait;
        step.waitMs = rest.toInt();
        return {};
    }
    if (verb == QLatin1String("noise") || verb == QLatin1String("overlong") || verb == QLatin1String("hangup")) {
        step.kind = verb == QLatin1String("noise") ? SimStep::Noise : verb == QLatin1String("overlong") ? SimStep::Overlong : SimStep::Hangup;
        step.waitMs = rest.toInt();
        return {};
    }
    if (verb == QLatin1String("say")) {
        step.kind = SimStep::Say;
        step.text = rest;
        return {};
    }
    return QStringLiteral("line %1: unknown step \"%2\"").arg(lineNo).arg(verb);
}

} // namespace

QString ParseScript(const QString& text, QList<SimStep>& steps, Model& model)
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
        if (const qsizetype hash = line.indexOf(QLatin1Char('#')); hash >= 0 && !line.trimmed().startsWith(QLatin1String("raw")))
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

    for (const auto& [line, lineNo] : flat) {
        SimStep step;
        bool isModel = false;
        if (const QString error = ParseStep(line, lineNo, step, model, &isModel); !error.isEmpty())
            return error;
        if (!isModel)
            steps << step;
    }
    return {};
}

} // namespace QuorlixSim
