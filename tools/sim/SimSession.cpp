#include "SimSession.h"

#include "core/CommLog.h"

#include <QRandomGenerator>
#include <QThread>
#include <QTime>

#include <cstdio>

namespace QuorlixSim {

namespace {

QString Now()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
}

} // namespace

void Print(const QString& text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

SimSession::SimSession(SimLine& line, const SimOptions& options) : m_line(line), m_options(options)
{
    if (!options.record.isEmpty()) {
        m_record.setFileName(options.record);
        m_record.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
    m_clock.start();
}

void SimSession::pace(qsizetype bytes)
{
    if (m_options.lineRate <= 0)
        return;
    // Start, eight data bits and stop: ten bits a character.
    const qint64 start = m_clock.nsecsElapsed();
    QThread::usleep(ulong(qint64(bytes) * 10 * 1000000 / m_options.lineRate));
    m_pacedNs += m_clock.nsecsElapsed() - start; // as long as it really slept
}

void SimSession::write(const QByteArray& bytes)
{
    pace(bytes.size());
    m_line.write(bytes);
    m_lastSentAt = hostTime();
}

void SimSession::send(const QString& text, bool counted)
{
    const QByteArray bytes = text.toLatin1();
    if (!m_options.quiet)
        Print(QStringLiteral("%1  A->H%2").arg(Now(), Quorlix::ControlCharsToNames(text)));
    if (counted)
        ++sent;
    if (!m_options.split) {
        write(bytes);
        return;
    }
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype piece =
            1 + QRandomGenerator::global()->bounded(qMax<qsizetype>(1, bytes.size() - at));
        write(bytes.mid(at, piece));
        at += piece;
        QThread::msleep(QRandomGenerator::global()->bounded(5));
    }
}

void SimSession::printAnswer(const QString& text)
{
    if (!m_options.quiet)
        Print(QStringLiteral("%1  H->A%2").arg(Now(), Quorlix::ControlCharsToNames(text)));
}

bool SimSession::check(bool ok, int line, const QString& what)
{
    if (!ok) {
        ++failures;
        Print(QStringLiteral("sim: CHECK FAILED (script line %1): %2").arg(line).arg(what));
    }
    return ok;
}

bool SimSession::checkAnswer(const QString& answer, const QString& expected, int line)
{
    return check(answer == expected, line,
                 QStringLiteral("%1, got %2")
                     .arg(Quorlix::ControlCharsToNames(expected), Quorlix::ControlCharsToNames(answer)));
}

void SimSession::fail(const QString& message)
{
    ++failures;
    Print(QStringLiteral("sim: ") + message);
}

void SimSession::say(const QString& text)
{
    Print(QStringLiteral("sim: ") + text);
}

void SimSession::record(const QString& line)
{
    if (m_record.isOpen())
        m_record.write((line + QLatin1Char('\n')).toLatin1());
}

void SimSession::recordResult(bool wasAnswered, const QString& id, qsizetype count)
{
    record(QStringLiteral("%1 %2 %3")
               .arg(wasAnswered ? QStringLiteral("answered") : QStringLiteral("unanswered"), id)
               .arg(count));
}

void SimSession::recordAborted(const QString& id, qsizetype count)
{
    record(QStringLiteral("aborted %1 %2").arg(id).arg(count));
}

void SimSession::recordReceived(const QString& what, const QString& id, qsizetype count)
{
    record(QStringLiteral("%1 %2 %3").arg(what, id).arg(count));
}

int SimSession::replyPauseMs(int protocolPauseMs) const
{
    return m_options.replyPauseMs >= 0 ? m_options.replyPauseMs : protocolPauseMs;
}

void SimSession::recordInquiry(const QString& id, qint64 sentAt, int pausedWrites, int protocolPauseMs)
{
    const qint64 prescribedNs = qint64(pausedWrites) * replyPauseMs(protocolPauseMs) * 1000000;
    record(QStringLiteral("inquiry %1 %2").arg(id).arg((hostTime() - sentAt - prescribedNs) / 1000));
}

void SimSession::noise(int count, bool frameWithoutEnd)
{
    QByteArray bytes = frameWithoutEnd ? QByteArray("\x02") : QByteArray();
    for (int i = 0; i < count; ++i) {
        char c = char(QRandomGenerator::global()->bounded(256));
        if (c == '\x02' || c == '\x03')
            c = 'x';
        bytes.append(c);
    }
    if (!m_options.quiet)
        say(QStringLiteral("%1 bytes of %2")
                .arg(bytes.size())
                .arg(frameWithoutEnd ? QStringLiteral("frame without ETX") : QStringLiteral("noise")));
    m_line.write(bytes);
}

void SimSession::hangup(int ms)
{
    say(QStringLiteral("the line goes away for %1 ms").arg(ms));
    if (const QString error = m_line.hangUpPty(ms); !error.isEmpty())
        fail(error);
}

QString SimSession::summary() const
{
    if (host)
        return QStringLiteral("sim: sent %1 answers to inquiries, received %2 other frames, checks failed %3")
            .arg(inquiriesAnswered)
            .arg(framesReceived)
            .arg(failures);
    return QStringLiteral("sim: sent %1, answered %2, result frames sent %3, answered %4, checks failed %5")
        .arg(sent)
        .arg(answered)
        .arg(resultsSent)
        .arg(resultsAnswered)
        .arg(failures);
}

} // namespace QuorlixSim
