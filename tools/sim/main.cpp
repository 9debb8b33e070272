// quorlix-sim: plays an analyzer (or a LIMS host) toward quorlix over a serial device, a
// pseudo-terminal it creates, or TCP, following a small script, and checks the answers.

#include "ControlSeries.h"
#include "ReplayRun.h"
#include "SimRole.h"
#include "SimScript.h"
#include "SimSession.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <csignal>

using namespace QuorlixSim;

namespace {

QString Usage()
{
    return QStringLiteral(
               "Usage: quorlix-sim (--pty LINK | --device PATH[,BAUD] | --listen PORT | --connect "
               "HOST:PORT)\n"
               "                   [--timeout MS] [--quiet] [--split] [--start-delay MS] [--retry N]\n"
               "                   [--record FILE] [--line-rate BAUD] [--reply-pause MS] [--hold]\n"
               "                   [--control-series SERIES ... [--role NAME]] SCRIPT\n"
               "       quorlix-sim replay LOGFILE ... (quorlix-sim replay --help)\n"
               "Plays an analyzer toward a host. --pty creates a pseudo-terminal and links its other end at "
               "LINK\n"
               "for the host to open; --listen waits for the host as a serial device server would. --split "
               "sends\n"
               "every frame in random pieces. --retry sends a frame again, up to N times, when no answer "
               "came (as\n"
               "an analyzer does after a time-out). --record appends one line per result frame to FILE:\n"
               "\"answered ID COUNT\" or \"unanswered ID COUNT\", and one per order request answered:\n"
               "\"inquiry ID MICROSECONDS\", the time from the request's last byte to its complete reply\n"
               "less the pauses the host's protocol prescribes (Hitachi 902 and 912: 100 ms; AU: 750 ms "
               "before\n"
               "the ACK and again before the order frame; Indiko: 500 ms before the ENQ, each frame and the\n"
               "EOT); --reply-pause gives the pause before each of those writes instead (0 when a LIMS "
               "answers\n"
               "through the host). --line-rate sends no faster than a serial line of BAUD (ten bits a\n"
               "character). --hold keeps the line open after the summary until SIGTERM or SIGINT, so that\n"
               "the host can be stopped first. SCRIPT is a file, or - for standard input.\n\n"
               "Script lines (one step each; # starts a comment):\n"
               "  model NAME | role NAME                 what the simulator plays (default 911); first "
               "line\n") +
           CommonScriptHelp() +
           QStringLiteral("  control-series SERIES                  a control series (below); roles 911, "
                          "902, 912, au400,\n"
                          "                                         au600, au680, indiko\n") +
           RolesHelp() + QStringLiteral("\n") + ControlSeriesHelp();
}

// The steps that send a control series: one control line of the role per result, made when the
// series is sent (an Indiko result carries its measurement time).
QString ControlSeriesStep(const ScriptLine& line, SimRole& role, SimStep& step)
{
    ControlSeries series;
    if (const QString error = ParseControlSeries(line.rest, series); !error.isEmpty())
        return QStringLiteral("line %1: %2").arg(line.number).arg(error);
    if (role.controlLine(series.controlId, series.test, series.value(1), {}).isEmpty())
        return QStringLiteral("line %1: this role sends no control series").arg(line.number);
    step = [series, &role](SimSession& s) {
        const QDateTime start = QDateTime::currentDateTime();
        for (int i = 1; i <= series.count; ++i) {
            if (i > 1 && series.everyMs > 0)
                QThread::msleep(ulong(series.everyMs));
            const QString value = series.value(i);
            s.say(QStringLiteral("control %1 test %2, result %3 of %4: %5 (z = %6)")
                      .arg(series.controlId, series.test)
                      .arg(i)
                      .arg(series.count)
                      .arg(value, QString::asprintf("%+.2f", (value.toDouble() - series.mean) / series.sd)));
            const QDateTime measured = start.addSecs(-60 * (series.count - i));
            QList<ScriptLine> expanded;
            ExpandScript(role.controlLine(series.controlId, series.test, value, measured), expanded);
            SimStep send;
            QString error;
            if (expanded.size() != 1 || !role.parse(expanded.first(), send, &error) || !error.isEmpty()) {
                s.fail(QStringLiteral("control series: cannot send result %1: %2").arg(i).arg(error));
                return;
            }
            send(s);
        }
    };
    return {};
}

// The steps of a script for its role; the generic lines are the runner's own.
QString ParseSteps(const QList<ScriptLine>& lines, std::unique_ptr<SimRole>& role, QList<SimStep>& steps)
{
    QString error;
    for (const ScriptLine& line : lines) {
        if (line.verb == QLatin1String("model") || line.verb == QLatin1String("role")) {
            if (role || !steps.isEmpty())
                return QStringLiteral("line %1: the role is named once, before the steps").arg(line.number);
            role = MakeRole(line.words.value(0), &error);
            if (!role)
                return QStringLiteral("line %1: %2").arg(line.number).arg(error);
            continue;
        }
        if (!role)
            role = MakeRole(QStringLiteral("911"), &error);
        const int n = line.rest.toInt();
        if (line.verb == QLatin1String("wait")) {
            steps << [n](SimSession&) { QThread::msleep(ulong(n)); };
        } else if (line.verb == QLatin1String("say")) {
            const QString text = line.rest;
            steps << [text](SimSession& s) { s.say(text); };
        } else if (line.verb == QLatin1String("noise") || line.verb == QLatin1String("overlong")) {
            const bool overlong = line.verb == QLatin1String("overlong");
            steps << [n, overlong](SimSession& s) { s.noise(n, overlong); };
        } else if (line.verb == QLatin1String("control-series")) {
            SimStep step;
            error = ControlSeriesStep(line, *role, step);
            if (!error.isEmpty())
                return error;
            steps << step;
        } else if (line.verb == QLatin1String("hangup")) {
            steps << [n](SimSession& s) { s.hangup(n); };
        } else if (line.verb == QLatin1String("listen") || line.verb == QLatin1String("deaf")) {
            const bool deaf = line.verb == QLatin1String("deaf");
            steps << [n, deaf](SimSession& s) {
                QElapsedTimer clock;
                clock.start();
                QByteArray heard;
                while (clock.elapsed() < qint64(n) * 1000) {
                    heard += s.line().drain(200);
                    // Each complete frame heard goes into the record, its blanks written as "_".
                    for (qsizetype etx = heard.indexOf('\x03'); etx >= 0; etx = heard.indexOf('\x03')) {
                        const qsizetype stx = heard.lastIndexOf('\x02', etx);
                        if (stx >= 0 && !deaf)
                            s.recordReceived(QStringLiteral("frame"),
                                             QString::fromLatin1(heard.mid(stx + 1, etx - stx - 1))
                                                 .replace(QLatin1Char(' '), QLatin1Char('_')),
                                             1);
                        heard.remove(0, etx + 1);
                    }
                }
            };
        } else {
            SimStep step;
            if (!role->parse(line, step, &error))
                return QStringLiteral("line %1: unknown step \"%2\"").arg(line.number).arg(line.verb);
            if (!error.isEmpty())
                return error;
            steps << step;
        }
    }
    return {};
}

const sigset_t& StopSignals()
{
    static const sigset_t set = [] {
        sigset_t s;
        sigemptyset(&s);
        sigaddset(&s, SIGTERM);
        sigaddset(&s, SIGINT);
        return s;
    }();
    return set;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    SimOptions o;
    bool hold = false;
    QStringList series;
    QString roleName = QStringLiteral("911");
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("replay"))
        return RunReplay(args.mid(1));
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const QString next = args.value(i + 1);
        if (a == QLatin1String("--pty")) {
            o.ptyLink = next;
            ++i;
        } else if (a == QLatin1String("--device")) {
            o.device = next.section(QLatin1Char(','), 0, 0);
            if (next.contains(QLatin1Char(',')))
                o.baud = next.section(QLatin1Char(','), 1, 1).toInt();
            ++i;
        } else if (a == QLatin1String("--listen")) {
            o.listenPort = next.toInt();
            ++i;
        } else if (a == QLatin1String("--connect")) {
            o.connect = next;
            ++i;
        } else if (a == QLatin1String("--timeout")) {
            o.timeoutMs = next.toInt();
            ++i;
        } else if (a == QLatin1String("--start-delay")) {
            o.startDelayMs = next.toInt();
            ++i;
        } else if (a == QLatin1String("--retry")) {
            o.retries = next.toInt();
            ++i;
        } else if (a == QLatin1String("--line-rate")) {
            o.lineRate = next.toInt();
            ++i;
        } else if (a == QLatin1String("--reply-pause")) {
            o.replyPauseMs = next.toInt();
            ++i;
        } else if (a == QLatin1String("--record")) {
            o.record = next;
            ++i;
        } else if (a == QLatin1String("--control-series")) {
            series << next;
            ++i;
        } else if (a == QLatin1String("--role")) {
            roleName = next;
            ++i;
        } else if (a == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (a == QLatin1String("--split")) {
            o.split = true;
        } else if (a == QLatin1String("--hold")) {
            hold = true;
        } else if (a == QLatin1String("--help")) {
            Print(Usage());
            return 0;
        } else {
            o.script = a;
        }
    }
    if (o.script.isEmpty() && series.isEmpty()) {
        Print(Usage());
        return 2;
    }
    // A series given on the command line runs after the script, or alone for the --role.
    QString text = QStringLiteral("role %1\n").arg(roleName);
    if (!o.script.isEmpty()) {
        QFile file;
        const bool opened = o.script == QLatin1String("-")
                                ? file.open(stdin, QIODevice::ReadOnly)
                                : (file.setFileName(o.script), file.open(QIODevice::ReadOnly));
        if (!opened) {
            Print(QStringLiteral("quorlix-sim: cannot read %1").arg(o.script));
            return 2;
        }
        text = QString::fromUtf8(file.readAll());
    }
    for (const QString& spec : std::as_const(series))
        text += QStringLiteral("\ncontrol-series ") + spec;
    QList<ScriptLine> lines;
    std::unique_ptr<SimRole> role;
    QList<SimStep> steps;
    QString error = ExpandScript(text, lines);
    if (error.isEmpty())
        error = ParseSteps(lines, role, steps);
    if (!error.isEmpty()) {
        Print(QStringLiteral("quorlix-sim: ") + error);
        return 2;
    }

    SimLine line;
    if (!o.ptyLink.isEmpty())
        error = line.openPty(o.ptyLink);
    else if (!o.device.isEmpty())
        error = line.openDevice(o.device, o.baud);
    else if (o.listenPort > 0)
        error = line.listenTcp(quint16(o.listenPort), 30000);
    else if (!o.connect.isEmpty())
        error = line.connectTcp(o.connect.section(QLatin1Char(':'), 0, 0),
                                quint16(o.connect.section(QLatin1Char(':'), 1).toInt()));
    else
        error = QStringLiteral("say where the host is: --pty, --device, --listen or --connect");
    if (!error.isEmpty()) {
        Print(QStringLiteral("quorlix-sim: ") + error);
        return 2;
    }
    if (o.startDelayMs > 0)
        QThread::msleep(ulong(o.startDelayMs));
    SimSession session(line, o);
    session.host = role->playsHost();
    for (const SimStep& step : std::as_const(steps))
        step(session);
    // With --hold a stop request from here on waits until the summary is out; the line stays open.
    if (hold)
        pthread_sigmask(SIG_BLOCK, &StopSignals(), nullptr);
    Print(session.summary());
    if (hold) {
        int signal = 0;
        sigwait(&StopSignals(), &signal);
    }
    return session.status();
}
