#include "ReplayRun.h"

#include "ReplayLog.h"
#include "SimLine.h"
#include "SimSession.h"

#include "core/CommLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cmath>

namespace QuorlixSim {

namespace {

struct ReplayOptions
{
    QString log;
    QString links[2]; // pseudo-terminals by ReplayLink
    double speed = 1; // the logged gaps are divided by this; 0 plays without gaps
    int timeoutMs = 10000;
    int startDelayMs = 0;
    bool startTime = false;
};

QString ParseOptions(const QStringList& args, ReplayOptions& o)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        const QString next = args.value(i + 1);
        bool ok = true;
        if (a == QLatin1String("--pty") && hasValue) {
            o.links[int(ReplayLink::Analyzer)] = next;
        } else if (a == QLatin1String("--lims-pty") && hasValue) {
            o.links[int(ReplayLink::Lims)] = next;
        } else if (a == QLatin1String("--speed") && hasValue) {
            o.speed = next == QLatin1String("max") ? 0 : next.toDouble(&ok);
            ok = ok && o.speed >= 0 && std::isfinite(o.speed);
        } else if (a == QLatin1String("--timeout") && hasValue) {
            o.timeoutMs = next.toInt(&ok);
            ok = ok && o.timeoutMs > 0;
        } else if (a == QLatin1String("--start-delay") && hasValue) {
            o.startDelayMs = next.toInt(&ok);
            ok = ok && o.startDelayMs >= 0;
        } else if (a == QLatin1String("--start-time")) {
            o.startTime = true;
            continue;
        } else if (!a.startsWith(QLatin1String("--")) && o.log.isEmpty()) {
            o.log = a;
            continue;
        } else {
            return QStringLiteral("unknown argument \"%1\"").arg(a);
        }
        if (!ok)
            return QStringLiteral("%1 %2 is no valid value").arg(a, next);
        ++i;
    }
    return o.log.isEmpty() ? QStringLiteral("name the communication log to replay") : QString();
}

QString Shown(const QByteArray& bytes)
{
    return bytes.isEmpty() ? QStringLiteral("(nothing)")
                           : Quorlix::ControlCharsToNames(QString::fromLatin1(bytes));
}

const char* SentMarker(ReplayLink link)
{
    return link == ReplayLink::Lims ? "H->L" : "H->A";
}

// The tallies of a replay and the differences it shows.
struct ReplayTally
{
    int played = 0;
    int equal = 0;
    int equalButTime = 0;
    int different = 0;

    void compare(ReplayLink link, int lineNumber, const ReplayTurn& turn, const QByteArray& received)
    {
        const QByteArray expected = turn.expected(link);
        if (expected == received) {
            ++equal;
            return;
        }
        const QDateTime from = turn.answers.isEmpty() ? QDateTime() : turn.answers.first().at;
        const QDateTime to = turn.answers.isEmpty() ? QDateTime() : turn.answers.last().at;
        if (DiffersOnlyInClockTime(expected, received, from, to)) {
            ++equal;
            ++equalButTime;
            return;
        }
        ++different;
        Print(QStringLiteral("replay: line %1 %2 differs\n  expected: %3\n  received: %4")
                  .arg(lineNumber)
                  .arg(QLatin1String(SentMarker(link)), Shown(expected), Shown(received)));
    }
};

// What arrives on the line until the expected answer's length is there or the deadline passes.
QByteArray Receive(SimLine& line, qsizetype length, const QElapsedTimer& since, int timeoutMs)
{
    const QByteArray whole = line.readUntil(
        qMax<int>(0, int(timeoutMs - since.elapsed())),
        [length](QByteArray& pending) -> qsizetype { return pending.size() >= length ? length : 0; });
    return whole.isEmpty() ? line.drain(0) : whole;
}

int Replay(const ReplayOptions& o, const QList<ReplayTurn>& turns)
{
    SimLine lines[2];
    for (int link = 0; link < 2; ++link) {
        if (o.links[link].isEmpty())
            continue;
        if (const QString error = lines[link].openPty(o.links[link]); !error.isEmpty()) {
            Print(QStringLiteral("quorlix-sim: ") + error);
            return 2;
        }
    }
    if (o.startDelayMs > 0)
        QThread::msleep(ulong(o.startDelayMs));

    ReplayTally tally;
    QElapsedTimer sinceSent;
    sinceSent.start();
    QDateTime previousAt;
    for (const ReplayTurn& turn : turns) {
        if (turn.plays) {
            // At least the logged gap since the previous frame played, shortened by the speed.
            if (previousAt.isValid() && o.speed > 0) {
                const qint64 gapMs = qint64(double(previousAt.msecsTo(turn.played.at)) / o.speed);
                if (gapMs > sinceSent.elapsed())
                    QThread::msleep(ulong(gapMs - sinceSent.elapsed()));
            }
            previousAt = turn.played.at;
            if (!lines[int(turn.played.link)].write(turn.played.bytes)) {
                Print(QStringLiteral("quorlix-sim: the line was closed at the log's line %1")
                          .arg(turn.played.lineNumber));
                return 2;
            }
            sinceSent.start();
            ++tally.played;
        }
        for (const ReplayLink link : {ReplayLink::Analyzer, ReplayLink::Lims}) {
            const QByteArray expected = turn.expected(link);
            if (expected.isEmpty())
                continue; // what comes instead shows with the next answer on this line
            const QByteArray received = Receive(lines[int(link)], expected.size(), sinceSent, o.timeoutMs);
            tally.compare(link, turn.expectedLine(link), turn, received);
        }
    }
    // Nothing more may come after the last answer.
    for (const ReplayLink link : {ReplayLink::Analyzer, ReplayLink::Lims}) {
        if (o.links[int(link)].isEmpty())
            continue;
        const QByteArray extra = lines[int(link)].drain(1000);
        if (!extra.isEmpty())
            tally.compare(link, turns.last().played.lineNumber, ReplayTurn{}, extra);
    }
    Print(QStringLiteral("replay: played %1 frames, answers equal %2 (%3 of them only in the date-time they "
                         "carry), answers different %4")
              .arg(tally.played)
              .arg(tally.equal)
              .arg(tally.equalButTime)
              .arg(tally.different));
    return tally.different == 0 ? 0 : 1;
}

} // namespace

QString ReplayHelp()
{
    return QStringLiteral(
        "Usage: quorlix-sim replay LOGFILE [--pty LINK] [--lims-pty LINK] [--speed N|max] [--timeout MS]\n"
        "                          [--start-delay MS] [--start-time]\n"
        "Replays a daily communication log of quorlix: plays the frames the instance received (A->H on\n"
        "the analyzer's pseudo-terminal --pty, L->H on the LIMS's --lims-pty) and compares what the\n"
        "instance sends until the next frame played with the logged H->A and H->L lines, byte for byte.\n"
        "An answer differing only in the date-time it carries as the time it was made (an ASTM header,\n"
        "a LIMS frame's header, within two minutes of the logged line) and in the check characters that\n"
        "follow from it counts as equal. Each frame waits for the answer before it (up to --timeout, 10000\n"
        "ms) and at least the logged gap divided by --speed (1; 0 or max: no gaps). Start the instance\n"
        "with --clock-start at the log's first stamp: --start-time prints it and ends. Prints each\n"
        "difference and a summary; exit 0 when all answers are equal, 1 when any differs, 2 on a bad log\n"
        "or bad arguments.\n");
}

int RunReplay(const QStringList& arguments)
{
    if (arguments.contains(QLatin1String("--help"))) {
        Print(ReplayHelp());
        return 0;
    }
    ReplayOptions o;
    if (const QString error = ParseOptions(arguments, o); !error.isEmpty()) {
        Print(QStringLiteral("quorlix-sim replay: ") + error + QStringLiteral("\n\n") + ReplayHelp());
        return 2;
    }
    QFile file(o.log);
    if (!file.open(QIODevice::ReadOnly)) {
        Print(QStringLiteral("quorlix-sim replay: cannot read %1: %2").arg(o.log, file.errorString()));
        return 2;
    }
    QList<ReplayTurn> turns;
    QDateTime firstStamp;
    // The log holds the bytes of the line one character each (Latin-1).
    if (const QString error = ReadCommLog(QString::fromLatin1(file.readAll()), turns, &firstStamp);
        !error.isEmpty()) {
        Print(QStringLiteral("quorlix-sim replay: %1: %2").arg(o.log, error));
        return 2;
    }
    if (o.startTime) {
        Print(firstStamp.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        return 0;
    }
    // Every line the log played or answered on needs its pseudo-terminal.
    for (const ReplayTurn& turn : std::as_const(turns)) {
        for (const ReplayLink link : {ReplayLink::Analyzer, ReplayLink::Lims}) {
            const bool used = (turn.plays && turn.played.link == link) || !turn.expected(link).isEmpty();
            if (!used || !o.links[int(link)].isEmpty())
                continue;
            const bool lims = link == ReplayLink::Lims;
            Print(QStringLiteral("quorlix-sim replay: the log has frames on the %1 line: give %2")
                      .arg(lims ? QStringLiteral("LIMS") : QStringLiteral("analyzer"),
                           lims ? QStringLiteral("--lims-pty") : QStringLiteral("--pty")));
            return 2;
        }
    }
    return Replay(o, turns);
}

} // namespace QuorlixSim
