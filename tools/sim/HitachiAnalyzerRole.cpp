#include "HitachiAnalyzerRole.h"

#include "SimSession.h"
#include "core/CommLog.h"

#include <QThread>

namespace QuorlixSim {

namespace {

// The 902 and 912 hosts wait this long before every answer.
constexpr int PauseBeforeReplyMs = 100;

QString Body(const QString& frame)
{
    return frame.mid(1, frame.size() - 2);
}

// The identification options of inquiry, results and control lines.
SimSample SampleOf(const ScriptLine& line, QChar frameClass, const QString& id)
{
    SimSample s;
    s.frameClass = frameClass;
    s.id = id;
    s.position = line.intOption(QStringLiteral("pos"), 1);
    s.disc = line.intOption(QStringLiteral("disc"), 1);
    s.number = line.intOption(QStringLiteral("number"), 1);
    return s;
}

} // namespace

QString HitachiAnalyzerRole::help() const
{
    return QStringLiteral(
        "  poll                                   STX > ETX; the host must answer >\n"
        "  repeat                                 STX ? ETX; the host must repeat its last answer\n"
        "  inquiry ID|- [class=A] [pos=P] [disc=D] [number=N]\n"
        "                                         order inquiry; the host must answer the selection (a >\n"
        "                                         before it, passed on from a LIMS, is skipped)\n"
        "  results CLASS ID CH=VALUE[:ALARM] ...  a results frame (routine/STAT, batch/real-time by CLASS)\n"
        "  control CLASS ID CH=VALUE ...          the same for a control sample\n"
        "  calibration CH R1,R2,R3,R4[:ALARM[:PROZONE]] ... [alarm=X] [sd=TEXT]\n"
        "                                         one standard per R1,R2,R3,R4 group\n"
        "  raw TEXT                               any frame; {STX} {ETX} ... name control characters,\n"
        "                                         {0xNN} any byte (also in ids)\n"
        "  expect TEXT                            the last answer must be exactly TEXT\n"
        "  expect-selection BITS                  the last order reply must select exactly BITS\n");
}

QString HitachiAnalyzerRole::controlLine(const QString& controlId, const QString& test, const QString& value,
                                         const QDateTime&) const
{
    // A routine batch frame: the host answers it with ">".
    return QStringLiteral("control b %1 %2=%3").arg(controlId, test, value);
}

bool HitachiAnalyzerRole::realTime(QChar c) const
{
    switch (m_model) {
    case Model::H911:
        return c == QLatin1Char('A') || c == QLatin1Char('B');
    case Model::H902:
        return c == QLatin1Char('A');
    case Model::H912:
        return c == QLatin1Char('A') || c == QLatin1Char('B') || c == QLatin1Char('C');
    }
    return false;
}

QString HitachiAnalyzerRole::answer(SimSession& session, bool retryFollows)
{
    const QString reply = QString::fromLatin1(session.line().readFrame(session.options().timeoutMs));
    if (reply.isEmpty()) {
        if (!retryFollows && session.options().retries == 0)
            session.fail(QStringLiteral("no answer within %1 ms").arg(session.options().timeoutMs));
        return {};
    }
    ++session.answered;
    session.printAnswer(reply);
    m_last = reply;
    return reply;
}

QString HitachiAnalyzerRole::exchange(SimSession& session, const QString& frame)
{
    const int retries = session.options().retries;
    session.send(frame);
    QString reply = answer(session, retries > 0);
    for (int retry = 0; reply.isEmpty() && retry < retries; ++retry) {
        session.say(QStringLiteral("no answer, sending again (%1 of %2)").arg(retry + 1).arg(retries));
        session.send(frame, false); // the same frame once more
        reply = answer(session, retry + 1 < retries);
    }
    if (reply.isEmpty())
        ++session.failures;
    return reply;
}

void HitachiAnalyzerRole::expectOrderReply(SimSession& session, int line, const QString& reply, bool allZero)
{
    const QString text = Body(reply);
    session.check(text.startsWith(QLatin1Char(';')) && text.size() >= ExpectedReplyLength(m_model), line,
                  QStringLiteral("an order reply of %1 characters, got %2")
                      .arg(ExpectedReplyLength(m_model))
                      .arg(text.size()));
    const QString selection = SelectionOfReply(m_model, text);
    if (!session.options().quiet && !selection.isEmpty())
        session.say(QStringLiteral("selection %1").arg(selection));
    if (allZero)
        session.check(!selection.isEmpty() && !selection.contains(QLatin1Char('1')), line,
                      QStringLiteral("a selection of zeros"));
    m_lastSelection = selection;
}

bool HitachiAnalyzerRole::parse(const ScriptLine& line, SimStep& step, QString* error)
{
    const QString& verb = line.verb;
    const QStringList& words = line.words;
    const int n = line.number;
    const QString greater = QStringLiteral(">");

    if (verb == QLatin1String("poll")) {
        step = [this, n, greater](SimSession& s) {
            s.check(Body(exchange(s, PollFrame())) == greater, n, QStringLiteral("the answer >"));
        };
    } else if (verb == QLatin1String("repeat")) {
        step = [this, n](SimSession& s) {
            const QString previous = m_last;
            s.check(exchange(s, RepeatRequestFrame()) == previous, n,
                    QStringLiteral("the previous answer again"));
        };
    } else if (verb == QLatin1String("inquiry")) {
        if (words.isEmpty()) {
            *error = QStringLiteral("line %1: inquiry needs a sample id").arg(n);
            return true;
        }
        const QString id =
            words.first() == QLatin1String("-") ? QString() : NamesToControlChars(words.first());
        const QString frameClass = line.option(QStringLiteral("class"), QStringLiteral("A"));
        const SimSample sample = SampleOf(line, frameClass.at(0), id);
        step = [this, n, sample](SimSession& s) {
            QString reply = exchange(s, InquiryFrame(m_model, sample));
            // Behind a LIMS the host passes on every frame of the LIMS, also its > to a results
            // frame of ours: such a > may come before the order reply.
            for (int passedOn = 0; Body(reply) == QLatin1String(">") && passedOn < 3; ++passedOn)
                reply = answer(s, false);
            if (!reply.isEmpty())
                s.recordInquiry(sample.id, s.lastSentAt(), 1,
                                m_model == Model::H911 ? 0 : PauseBeforeReplyMs);
            expectOrderReply(s, n, reply, false);
        };
    } else if (verb == QLatin1String("results") || verb == QLatin1String("control")) {
        if (words.size() < 2 || words.first().size() != 1) {
            *error = QStringLiteral("line %1: %2 CLASS ID CH=VALUE ...").arg(n).arg(verb);
            return true;
        }
        const SimSample sample = SampleOf(line, words.at(0).at(0), NamesToControlChars(words.at(1)));
        QList<SimResult> results;
        for (const QString& w : words.mid(2)) {
            if (w.startsWith(QLatin1String("pos=")) || w.startsWith(QLatin1String("number=")) ||
                w.startsWith(QLatin1String("disc=")))
                continue;
            const QStringList parts = w.split(QLatin1Char('='));
            if (parts.size() != 2) {
                *error = QStringLiteral("line %1: %2 is not CH=VALUE").arg(n).arg(w);
                return true;
            }
            SimResult r;
            r.channel = parts.at(0).toInt();
            const QStringList valueAlarm = parts.at(1).split(QLatin1Char(':'));
            r.value = valueAlarm.at(0) == QLatin1String("_") ? QString() : valueAlarm.at(0);
            if (valueAlarm.size() > 1 && !valueAlarm.at(1).isEmpty())
                r.alarm = valueAlarm.at(1).at(0);
            results << r;
        }
        step = [this, n, sample, results, greater](SimSession& s) {
            ++s.resultsSent;
            const QString reply = exchange(s, ResultFrame(m_model, sample, results));
            if (!reply.isEmpty())
                ++s.resultsAnswered;
            s.recordResult(!reply.isEmpty(), sample.id, results.size());
            if (realTime(sample.frameClass))
                expectOrderReply(s, n, reply, true);
            else
                s.check(Body(reply) == greater, n, QStringLiteral("the answer >"));
        };
    } else if (verb == QLatin1String("calibration")) {
        if (words.isEmpty()) {
            *error = QStringLiteral("line %1: calibration CH R1,R2,R3,R4 ...").arg(n);
            return true;
        }
        const int channel = words.first().toInt();
        QChar alarm = QLatin1Char(' ');
        QString sd;
        QList<SimStandard> standards;
        for (const QString& w : words.mid(1)) {
            if (w.startsWith(QLatin1String("alarm="))) {
                alarm = w.size() > 6 ? w.at(6) : QLatin1Char(' ');
                continue;
            }
            if (w.startsWith(QLatin1String("sd="))) {
                sd = w.mid(3);
                continue;
            }
            const QStringList parts = w.split(QLatin1Char(':'));
            const QStringList readings = parts.at(0).split(QLatin1Char(','));
            if (readings.size() != 4) {
                *error = QStringLiteral("line %1: a standard has four readings R1,R2,R3,R4").arg(n);
                return true;
            }
            SimStandard st;
            for (int i = 0; i < 4; ++i)
                st.readings[i] = readings.at(i);
            if (parts.size() > 1 && !parts.at(1).isEmpty())
                st.alarm = parts.at(1).at(0);
            st.prozone = parts.value(2);
            standards << st;
        }
        step = [this, n, channel, alarm, standards, sd, greater](SimSession& s) {
            s.check(Body(exchange(s, CalibrationFrame(m_model, channel, alarm, standards, sd))) == greater, n,
                    QStringLiteral("the answer >"));
        };
    } else if (verb == QLatin1String("raw")) {
        const QString frame = NamesToControlChars(line.rest);
        step = [this, frame](SimSession& s) { exchange(s, frame); };
    } else if (verb == QLatin1String("expect")) {
        const QString text = NamesToControlChars(line.rest);
        step = [this, n, text](SimSession& s) {
            s.check(m_last == text, n,
                    QStringLiteral("%1, got %2")
                        .arg(Quorlix::ControlCharsToNames(text), Quorlix::ControlCharsToNames(m_last)));
        };
    } else if (verb == QLatin1String("expect-selection")) {
        const QString bits = line.rest;
        step = [this, n, bits](SimSession& s) {
            s.check(m_lastSelection == bits, n,
                    QStringLiteral("selection %1, got %2").arg(bits, m_lastSelection));
        };
    } else {
        return false;
    }
    return true;
}

} // namespace QuorlixSim
