#include "ResultsDelivery.h"

#include <algorithm>

namespace Quorlix {

void ResultsDelivery::sent(const QString& sampleId, const QVariantList& parameters, const QDateTime& now)
{
    m_sends = m_state == State::Awaiting && m_sampleId == sampleId ? m_sends + 1 : 1;
    m_state = State::Awaiting;
    m_sampleId = sampleId;
    m_parameters = parameters;
    m_repeatAsked = false;
    // 10 s, 20 s, 40 s, then every minute: a stopped LIMS is not written a frame every tick.
    int wait = AnswerWaitSeconds;
    for (int k = 1; k < m_sends && wait < MaxResendSeconds; ++k)
        wait *= 2;
    m_resendAt = now.addSecs(std::min(wait, MaxResendSeconds));
}

ResultsDelivery::Answer ResultsDelivery::answer(QChar function)
{
    if (m_state != State::Awaiting || function == QLatin1Char(';'))
        return Answer::None;
    if (function == QLatin1Char('?') || function == QLatin1Char('@')) {
        m_repeatAsked = true;
        return Answer::Repeat;
    }
    m_state = State::Answered;
    return Answer::Taken;
}

void ResultsDelivery::done()
{
    *this = ResultsDelivery();
}

} // namespace Quorlix
