// quorlix-sim: a simulated Hitachi 911, 902 or 912 analyzer that talks to a host over a serial
// device, a pseudo-terminal it creates, or TCP, following a small script, and checks the answers.

#include "HitachiAnalyzerFrames.h"
#include "SimLine.h"
#include "SimScript.h"
#include "core/CommLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>

using namespace QuorlixSim;

namespace {

struct Options
{
    QString device;
    int baud = 9600;
    QString ptyLink;
    int listenPort = 0;
    QString connect;
    QString script;
    int timeoutMs = 5000;
    bool quiet = false;
    bool split = false;
    int startDelayMs = 0;
    int retries = 0;
    QString record;
};

void Print(const QString& text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString Usage()
{
    return QStringLiteral(
               "Usage: quorlix-sim (--pty LINK | --device PATH[,BAUD] | --listen PORT | --connect HOST:PORT)\n"
               "                   [--timeout MS] [--quiet] [--split] [--start-delay MS] [--retry N]\n"
               "                   [--record FILE] SCRIPT\n"
               "Plays a Hitachi analyzer toward a host. --pty creates a pseudo-terminal and links its other end\n"
               "at LINK for the host to open; --listen waits for the host as a serial device server would.\n"
               "--split sends every frame in random pieces. --retry sends a frame again, up to N times, when no\n"
               "answer came (as an analyzer does after a time-out). --record appends one line per result frame to\n"
               "FILE: \"answered ID COUNT\" or \"unanswered ID COUNT\". SCRIPT is a file, or - for standard input.\n\n")
           + ScriptHelp();
}

bool RealTime(Model model, QChar c)
{
    switch (model) {
    case Model::H911: return c == QLatin1Char('A') || c == QLatin1Char('B');
    case Model::H902: return c == QLatin1Char('A');
    case Model::H912: return c == QLatin1Char('A') || c == QLatin1Char('B') || c == QLatin1Char('C');
    }
    return false;
}

class Runner
{
public:
    Runner(SimLine& line, Model model, const Options& options) : m_line(line), m_model(model), m_options(options)
    {
        if (!options.record.isEmpty()) {
            m_record.setFileName(options.record);
            m_record.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        }
    }

    int run(const QList<SimStep>& steps)
    {
        for (const SimStep& step : steps)
            runStep(step);
        Print(QStringLiteral("sim: sent %1, answered %2, result frames sent %3, answered %4, checks failed %5")
                  .arg(m_sent)
                  .arg(m_answered)
                  .arg(m_resultsSent)
                  .arg(m_resultsAnswered)
                  .arg(m_failures));
        return m_failures == 0 && m_answered == m_sent ? 0 : 1;
    }

private:
    void send(const QString& frame)
    {
        const QByteArray bytes = frame.toLatin1();
        if (!m_options.quiet)
            Print(QStringLiteral("%1  A->H%2").arg(Now(), Quorlix::ControlCharsToNames(frame)));
        ++m_sent;
        if (!m_options.split) {
            m_line.write(bytes);
            return;
        }
        qsizetype at = 0;
        while (at < bytes.size()) {
            const qsizetype piece = 1 + QRandomGenerator::global()->bounded(qMax<qsizetype>(1, bytes.size() - at));
            m_line.write(bytes.mid(at, piece));
            at += piece;
            QThread::msleep(QRandomGenerator::global()->bounded(5));
        }
    }

    // Sends a frame and waits for its answer, sending it again after a time-out as often as allowed.
    QString exchange(const QString& frame)
    {
        send(frame);
        QString reply = answer(m_options.retries > 0);
        for (int retry = 0; reply.isEmpty() && retry < m_options.retries; ++retry) {
            Print(QStringLiteral("sim: no answer, sending again (%1 of %2)").arg(retry + 1).arg(m_options.retries));
            --m_sent; // the same frame once more
            send(frame);
            reply = answer(retry + 1 < m_options.retries);
        }
        if (reply.isEmpty())
            ++m_failures;
        return reply;
    }

    QString answer(bool retryFollows = false)
    {
        const QString reply = QString::fromLatin1(m_line.readFrame(m_options.timeoutMs));
        if (reply.isEmpty()) {
            if (!retryFollows && m_options.retries == 0) {
                Print(QStringLiteral("sim: no answer within %1 ms").arg(m_options.timeoutMs));
                ++m_failures;
            }
            return {};
        }
        ++m_answered;
        if (!m_options.quiet)
            Print(QStringLiteral("%1  H->A%2").arg(Now(), Quorlix::ControlCharsToNames(reply)));
        m_last = reply;
        return reply;
    }

    void check(bool ok, int line, const QString& what)
    {
        if (ok)
            return;
        ++m_failures;
        Print(QStringLiteral("sim: CHECK FAILED (script line %1): %2").arg(line).arg(what));
    }

    QString body(const QString& frame) const { return frame.mid(1, frame.size() - 2); }

    void expectOrderReply(const SimStep& step, const QString& reply, bool allZero)
    {
        const QString text = body(reply);
        check(text.startsWith(QLatin1Char(';')) && text.size() >= ExpectedReplyLength(m_model), step.line,
              QStringLiteral("an order reply of %1 characters, got %2").arg(ExpectedReplyLength(m_model)).arg(text.size()));
        const QString selection = SelectionOfReply(m_model, text);
        if (!m_options.quiet && !selection.isEmpty())
            Print(QStringLiteral("sim: selection %1").arg(selection));
        if (allZero)
            check(!selection.isEmpty() && !selection.contains(QLatin1Char('1')), step.line,
                  QStringLiteral("a selection of zeros"));
        m_lastSelection = selection;
    }

    void runStep(const SimStep& step)
    {
        switch (step.kind) {
        case SimStep::Poll:
            check(body(exchange(PollFrame())) == QLatin1String(">"), step.line, QStringLiteral("the answer >"));
            break;
        case SimStep::Repeat: {
            const QString previous = m_last;
            check(exchange(RepeatRequestFrame()) == previous, step.line, QStringLiteral("the previous answer again"));
            break;
        }
        case SimStep::Inquiry:
            expectOrderReply(step, exchange(InquiryFrame(m_model, step.sample)), false);
            break;
        case SimStep::Results: {
            ++m_resultsSent;
            const QString reply = exchange(ResultFrame(m_model, step.sample, step.results));
            if (!reply.isEmpty())
                ++m_resultsAnswered;
            if (m_record.isOpen())
                m_record.write(QStringLiteral("%1 %2 %3\n")
                                   .arg(reply.isEmpty() ? QStringLiteral("unanswered") : QStringLiteral("answered"),
                                        step.sample.id)
                                   .arg(step.results.size())
                                   .toLatin1());
            if (RealTime(m_model, step.sample.frameClass))
                expectOrderReply(step, reply, true);
            else
                check(body(reply) == QLatin1String(">"), step.line, QStringLiteral("the answer >"));
            break;
        }
        case SimStep::Calibration:
            check(body(exchange(CalibrationFrame(m_model, step.channel, step.alarm, step.standards, step.text)))
                      == QLatin1String(">"),
                  step.line, QStringLiteral("the answer >"));
            break;
        case SimStep::Raw:
            exchange(step.text);
            break;
        case SimStep::Noise:
        case SimStep::Overlong: {
            QByteArray bytes = step.kind == SimStep::Overlong ? QByteArray("\x02") : QByteArray();
            for (int i = 0; i < step.waitMs; ++i) {
                char c = char(QRandomGenerator::global()->bounded(256));
                if (c == '\x02' || c == '\x03')
                    c = 'x';
                bytes.append(c);
            }
            if (!m_options.quiet)
                Print(QStringLiteral("sim: %1 bytes of %2").arg(bytes.size()).arg(step.kind == SimStep::Noise ? QStringLiteral("noise") : QStringLiteral("frame without ETX")));
            m_line.write(bytes);
            break;
        }
        case SimStep::Hangup:
            Print(QStringLiteral("sim: the line goes away for %1 ms").arg(step.waitMs));
            if (const QString error = m_line.hangUpPty(step.waitMs); !error.isEmpty()) {
                Print(QStringLiteral("sim: ") + error);
                ++m_failures;
            }
            break;
        case SimStep::Expect:
            check(m_last == step.text, step.line,
                  QStringLiteral("%1, got %2").arg(Quorlix::ControlCharsToNames(step.text), Quorlix::ControlCharsToNames(m_last)));
            break;
        case SimStep::ExpectSelection:
            check(m_lastSelection == step.text, step.line,
                  QStringLiteral("selection %1, got %2").arg(step.text, m_lastSelection));
            break;
        case SimStep::Wait: QThread::msleep(ulong(step.waitMs)); break;
        case SimStep::Say: Print(QStringLiteral("sim: ") + step.text); break;
        }
    }

    static QString Now() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")); }

    SimLine& m_line;
    Model m_model;
    const Options& m_options;
    QString m_last;
    QString m_lastSelection;
    int m_sent = 0;
    int m_answered = 0;
    int m_resultsSent = 0;
    int m_resultsAnswered = 0;
    int m_failures = 0;
    QFile m_record;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Options o;
    const QStringList args = app.arguments().mid(1);
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
        } else if (a == QLatin1String("--record")) {
            o.record = next;
            ++i;
        } else if (a == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (a == QLatin1String("--split")) {
            o.split = true;
        } else if (a == QLatin1String("--help")) {
            Print(Usage());
            return 0;
        } else {
            o.script = a;
        }
    }
    if (o.script.isEmpty()) {
        Print(Usage());
        return 2;
    }
    QFile file;
    const bool opened = o.script == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                      : (file.setFileName(o.script), file.open(QIODevice::ReadOnly));
    if (!opened) {
        Print(QStringLiteral("quorlix-sim: cannot read %1").arg(o.script));
        return 2;
    }
    QList<SimStep> steps;
    Model model = Model::H911;
    if (const QString error = ParseScript(QString::fromUtf8(file.readAll()), steps, model); !error.isEmpty()) {
        Print(QStringLiteral("quorlix-sim: ") + error);
        return 2;
    }

    SimLine line;
    QString error;
    if (!o.ptyLink.isEmpty())
        error = line.openPty(o.ptyLink);
    else if (!o.device.isEmpty())
        error = line.openDevice(o.device, o.baud);
    else if (o.listenPort > 0)
        error = line.listenTcp(quint16(o.listenPort), 30000);
    else if (!o.connect.isEmpty())
        error = line.connectTcp(o.connect.section(QLatin1Char(':'), 0, 0), quint16(o.connect.section(QLatin1Char(':'), 1).toInt()));
    else
        error = QStringLiteral("say where the host is: --pty, --device, --listen or --connect");
    if (!error.isEmpty()) {
        Print(QStringLiteral("quorlix-sim: ") + error);
        return 2;
    }
    if (o.startDelayMs > 0)
        QThread::msleep(ulong(o.startDelayMs));
    return Runner(line, model, o).run(steps);
}
