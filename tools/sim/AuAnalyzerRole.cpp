#include "AuAnalyzerRole.h"

#include "SimSession.h"
#include "core/CommLog.h"

namespace QuorlixSim {

namespace {

const QString ACK = QStringLiteral("\x06");
// The host waits this long before its ACK and again before the order frame.
constexpr int PauseBeforeSendMs = 750;

AuSample SampleOf(const ScriptLine& line, const QString& id)
{
    return AuSample{id, line.intOption(QStringLiteral("rack"), 1), line.intOption(QStringLiteral("cup"), 1)};
}

bool IsOption(const QString& word)
{
    for (const char* option : {"rack=", "cup=", "code="})
        if (word.startsWith(QLatin1String(option)))
            return true;
    return false;
}

} // namespace

QString AuAnalyzerRole::help() const
{
    return QStringLiteral(
        "  request ID|- [rh] [rack=R] [cup=C]     an order request (\"R \", \"RH\" with rh); the host must\n"
        "                                         answer ACK, then the order frame echoing the request\n"
        "  expect-channels CHANNELS|-             the last order frame orders exactly these (\"0312\")\n"
        "  results ID CH=VALUE[:FLAGS] ... [code=D_|DH|d_|dH|DQ] [rack=R] [cup=C]\n"
        "                                         a result frame (code \"D \" unless given; _ for a\n"
        "                                         blank, also in FLAGS); ACK expected\n"
        "  control ID CH=VALUE[:FLAGS] ...        the same for a control sample\n"
        "  lose-ack                               the next results or control frame is sent again after\n"
        "                                         its ACK, as if the ACK was lost; ACK expected again\n"
        "  calibration CH/STD=R1,R2,R3,R4[:FLAGS] ...\n"
        "                                         a \"DA\" frame, one standard per group; ACK expected\n"
        "  raw TEXT                               any frame; ACK expected. {STX} {ETX} ... name control\n"
        "                                         characters, {0xNN} any byte (also in ids)\n"
        "  send TEXT                              any frame; no answer expected (the host relays it)\n"
        "  expect TEXT                            the last answer must be exactly TEXT\n");
}

QString AuAnalyzerRole::controlLine(const QString& controlId, const QString& test, const QString& value,
                                    const QDateTime&) const
{
    return QStringLiteral("control %1 %2=%3").arg(controlId, test, value);
}

QString AuAnalyzerRole::read(SimSession& session)
{
    const QString answer = QString::fromLatin1(session.line().readFrame(session.options().timeoutMs));
    if (!answer.isEmpty()) {
        session.printAnswer(answer);
        m_last = answer;
    }
    return answer;
}

bool AuAnalyzerRole::acknowledged(SimSession& session, const QString& frame, int line)
{
    session.send(frame);
    QString answer = read(session);
    for (int retry = 0; answer.isEmpty() && retry < session.options().retries; ++retry) {
        session.say(QStringLiteral("no answer, sending again (%1 of %2)")
                        .arg(retry + 1)
                        .arg(session.options().retries));
        session.send(frame, false);
        answer = read(session);
    }
    if (answer.isEmpty()) {
        session.fail(QStringLiteral("no answer within %1 ms").arg(session.options().timeoutMs));
        return false;
    }
    ++session.answered;
    return session.check(answer == ACK, line,
                         QStringLiteral("a single ACK, got %1").arg(Quorlix::ControlCharsToNames(answer)));
}

bool AuAnalyzerRole::parse(const ScriptLine& line, SimStep& step, QString* error)
{
    const QString& verb = line.verb;
    const QStringList& words = line.words;
    const int n = line.number;

    if (verb == QLatin1String("request")) {
        if (words.isEmpty()) {
            *error = QStringLiteral("line %1: request needs a sample id").arg(n);
            return true;
        }
        const QString id =
            words.first() == QLatin1String("-") ? QString() : NamesToControlChars(words.first());
        const QString code =
            words.contains(QLatin1String("rh")) ? QStringLiteral("RH") : QStringLiteral("R ");
        const QString frame = AuRequestFrame(code, SampleOf(line, id));
        step = [this, n, frame, id](SimSession& s) {
            if (!acknowledged(s, frame, n))
                return;
            const qint64 sentAt = s.lastSentAt();
            const QString order = read(s);
            if (!s.check(!order.isEmpty(), n, QStringLiteral("the order frame after the ACK")))
                return;
            s.recordInquiry(id, sentAt, 2, PauseBeforeSendMs);
            const QString expected = AuOrderFrame(frame, QString());
            s.check(order.startsWith(expected.chopped(1)) && order.endsWith(QLatin1Char('\x03')), n,
                    QStringLiteral("an order frame beginning %1, got %2")
                        .arg(Quorlix::ControlCharsToNames(expected.chopped(1)),
                             Quorlix::ControlCharsToNames(order)));
            m_channels = order.mid(expected.size() - 1).chopped(1);
            if (!s.options().quiet)
                s.say(QStringLiteral("channels %1")
                          .arg(m_channels.isEmpty() ? QStringLiteral("none") : m_channels));
        };
    } else if (verb == QLatin1String("expect-channels")) {
        const QString channels = line.rest == QLatin1String("-") ? QString() : line.rest;
        step = [this, n, channels](SimSession& s) {
            s.check(m_channels == channels, n,
                    QStringLiteral("channels %1, got %2").arg(channels, m_channels));
        };
    } else if (verb == QLatin1String("results") || verb == QLatin1String("control")) {
        if (words.isEmpty()) {
            *error = QStringLiteral("line %1: %2 ID CH=VALUE ...").arg(n).arg(verb);
            return true;
        }
        QList<AuResult> results;
        for (const QString& w : words.mid(1)) {
            if (IsOption(w))
                continue;
            const QStringList parts = w.split(QLatin1Char('='));
            bool number = false;
            const int channel = parts.at(0).toInt(&number);
            if (parts.size() != 2 || !number) {
                *error = QStringLiteral("line %1: %2 is not CH=VALUE[:FLAGS]").arg(n).arg(w);
                return true;
            }
            results << AuResult{
                channel, parts.at(1).section(QLatin1Char(':'), 0, 0),
                parts.at(1).section(QLatin1Char(':'), 1).replace(QLatin1Char('_'), QLatin1Char(' '))};
        }
        const QString code = line.option(QStringLiteral("code"), QStringLiteral("D "))
                                 .replace(QLatin1Char('_'), QLatin1Char(' '));
        const QString frame =
            AuResultFrame(code, SampleOf(line, NamesToControlChars(words.first())), results, m_decimalComma);
        const QString id = NamesToControlChars(words.first());
        step = [this, n, frame, id, count = results.size()](SimSession& s) {
            ++s.resultsSent;
            bool answered = acknowledged(s, frame, n);
            if (answered && std::exchange(m_loseAck, false)) {
                s.say(QStringLiteral("the ACK is taken as lost: the frame goes again"));
                answered = acknowledged(s, frame, n);
            }
            if (answered)
                ++s.resultsAnswered;
            s.recordResult(answered, id, count);
        };
    } else if (verb == QLatin1String("calibration")) {
        QList<AuStandard> standards;
        for (const QString& w : words) {
            AuStandard st;
            const QString where = w.section(QLatin1Char('='), 0, 0);
            const QStringList readings =
                w.section(QLatin1Char('='), 1).section(QLatin1Char(':'), 0, 0).split(QLatin1Char(','));
            st.channel = where.section(QLatin1Char('/'), 0, 0).toInt();
            st.standard = where.section(QLatin1Char('/'), 1).toInt();
            st.flags = w.section(QLatin1Char(':'), 1);
            if (readings.size() != 4 || st.standard < 1) {
                *error = QStringLiteral("line %1: %2 is not CH/STD=R1,R2,R3,R4[:FLAGS]").arg(n).arg(w);
                return true;
            }
            for (int i = 0; i < 4; ++i)
                st.readings[i] = readings.at(i);
            standards << st;
        }
        const QString frame = AuCalibrationFrame(standards, m_decimalComma);
        step = [this, n, frame](SimSession& s) { acknowledged(s, frame, n); };
    } else if (verb == QLatin1String("lose-ack")) {
        step = [this](SimSession&) { m_loseAck = true; };
    } else if (verb == QLatin1String("raw")) {
        const QString frame = NamesToControlChars(line.rest);
        step = [this, n, frame](SimSession& s) { acknowledged(s, frame, n); };
    } else if (verb == QLatin1String("send")) {
        const QString frame = NamesToControlChars(line.rest);
        step = [frame](SimSession& s) { s.send(frame, false); };
    } else if (verb == QLatin1String("expect")) {
        const QString text = NamesToControlChars(line.rest);
        step = [this, n, text](SimSession& s) { s.checkAnswer(m_last, text, n); };
    } else {
        return false;
    }
    return true;
}

} // namespace QuorlixSim
