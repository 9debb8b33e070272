#include "AuLimsHostRole.h"

#include "AuSimFrames.h"
#include "SimSession.h"
#include "core/CommLog.h"

#include <QElapsedTimer>
#include <QThread>

namespace QuorlixSim {

QString AuLimsHostRole::help() const
{
    return QStringLiteral(
        "  answer CHANNELS|-                      wait for a relayed order request (\"R \", \"RH\"); answer\n"
        "                                         ACK and the order frame with these channels (\"0312\")\n"
        "  receive CODE [ID] [name=NAME]          wait for a relayed frame with this code (_ a blank),\n"
        "                                         this sample id and, for \"DQ\", this control name (_ for\n"
        "                                         a blank)\n"
        "  quiet MS                               nothing may arrive for MS milliseconds\n"
        "  serve S CHANNELS                       for S seconds answer every relayed order request with\n"
        "                                         ACK and the order frame at once; take the rest\n"
        "                                         (--record: \"relayed-CODE ID 1\" for each, _ a blank)\n");
}

QString AuLimsHostRole::next(SimSession& session, int line)
{
    const QString frame = QString::fromLatin1(session.line().readFrame(session.options().timeoutMs));
    if (session.check(!frame.isEmpty(), line,
                      QStringLiteral("a frame within %1 ms").arg(session.options().timeoutMs)))
        Print(QStringLiteral("sim: LIMS got %1").arg(Quorlix::ControlCharsToNames(frame)));
    return frame;
}

bool AuLimsHostRole::parse(const ScriptLine& line, SimStep& step, QString* error)
{
    const int n = line.number;
    if (line.verb == QLatin1String("answer")) {
        const QString channels = line.rest == QLatin1String("-") ? QString() : line.rest;
        step = [this, n, channels](SimSession& s) {
            const QString request = next(s, n);
            if (request.isEmpty())
                return;
            const QString code = AuCodeOf(request);
            if (!s.check(code == QLatin1String("R ") || code == QLatin1String("RH"), n,
                         QStringLiteral("an order request, got code \"%1\"").arg(code)))
                return;
            s.send(QStringLiteral("\x06"), false);
            QThread::msleep(50);
            s.send(AuOrderFrame(request, channels), false);
            ++s.inquiriesAnswered;
        };
    } else if (line.verb == QLatin1String("receive")) {
        if (line.words.isEmpty()) {
            *error = QStringLiteral("line %1: receive CODE [ID] [name=NAME]").arg(n);
            return true;
        }
        const QString code = QString(line.words.first()).replace(QLatin1Char('_'), QLatin1Char(' '));
        const QString id = line.words.size() > 1 && !line.words.at(1).startsWith(QLatin1String("name="))
                               ? line.words.at(1)
                               : QString();
        const QString name = line.option(QStringLiteral("name")).replace(QLatin1Char('_'), QLatin1Char(' '));
        step = [this, n, code, id, name](SimSession& s) {
            const QString frame = next(s, n);
            if (frame.isEmpty())
                return;
            ++s.framesReceived;
            s.check(AuCodeOf(frame) == code, n,
                    QStringLiteral("code \"%1\", got \"%2\"").arg(code, AuCodeOf(frame)));
            if (!id.isEmpty())
                s.check(
                    AuIdentificationOf(frame).mid(11).trimmed() == id, n,
                    QStringLiteral("sample %1, got %2").arg(id, AuIdentificationOf(frame).mid(11).trimmed()));
            // A relayed control carries the first 8 characters of its name just before the ETX.
            if (!name.isEmpty())
                s.check(frame.chopped(1).right(8).trimmed() == name.left(8).trimmed(), n,
                        QStringLiteral("control name %1 at the end, got %2")
                            .arg(name, frame.chopped(1).right(8)));
        };
    } else if (line.verb == QLatin1String("serve")) {
        const int seconds = line.words.value(0).toInt();
        const QString channels = line.words.value(1);
        if (seconds <= 0) {
            *error = QStringLiteral("line %1: serve S CHANNELS").arg(n);
            return true;
        }
        step = [seconds, channels](SimSession& s) {
            QElapsedTimer clock;
            clock.start();
            for (qint64 left = seconds * 1000; left > 0; left = seconds * 1000 - clock.elapsed()) {
                const QString frame = QString::fromLatin1(s.line().readFrame(int(left)));
                const QString code = AuCodeOf(frame);
                if (frame.isEmpty())
                    continue;
                if (code != QLatin1String("R ") && code != QLatin1String("RH")) {
                    ++s.framesReceived;
                    s.recordReceived(QStringLiteral("relayed-") +
                                         QString(code).replace(QLatin1Char(' '), QLatin1Char('_')),
                                     AuIdentificationOf(frame).mid(11).trimmed(), 1);
                    continue;
                }
                s.send(QStringLiteral("\x06"), false);
                s.send(AuOrderFrame(frame, channels), false);
                ++s.inquiriesAnswered;
            }
        };
    } else if (line.verb == QLatin1String("quiet")) {
        const int ms = line.rest.toInt();
        step = [n, ms](SimSession& s) {
            const QByteArray got = s.line().drain(ms);
            s.check(got.isEmpty(), n,
                    QStringLiteral("nothing, got %1")
                        .arg(Quorlix::ControlCharsToNames(QString::fromLatin1(got))));
        };
    } else {
        return false;
    }
    return true;
}

} // namespace QuorlixSim
