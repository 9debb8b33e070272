#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantList>

namespace Quorlix {

// The results frame of one finished sample on its way to a LIMS that plays the Hitachi host. A
// frame written to an open port may still reach nobody (the LIMS program is stopped), so it counts
// as delivered only once the LIMS answers it: with its next complete frame, unless that is an order
// (";", the answer to an inquiry of the analyzer) or a request to repeat ("?", "@"). Until then the
// frame is sent again, first after AnswerWaitSeconds, then at growing intervals up to
// MaxResendSeconds; nothing else is sent meanwhile. An answer that comes while no frame is awaited
// (the second answer to a frame sent twice) is no answer to anything.
//
// Plain bookkeeping of the awaited frame; the caller sends, and deletes what was delivered.
class ResultsDelivery
{
public:
    enum class State
    {
        Idle,     // nothing awaited: the next finished sample may go
        Awaiting, // the frame went out and waits for its answer
        Answered  // the LIMS has it: its req2send rows are still to be cleared
    };
    enum class Answer
    {
        None,   // not about the awaited frame
        Taken,  // the LIMS has the frame
        Repeat, // the LIMS asks for it again
    };

    static constexpr int AnswerWaitSeconds = 10; // two forwarding ticks
    static constexpr int MaxResendSeconds = 60;

    // The frame of the sample went out at `now` (again, when it is the one awaited), covering these
    // parameters of its req2send rows.
    void sent(const QString& sampleId, const QVariantList& parameters, const QDateTime& now);
    // A complete frame from the LIMS, by its function character.
    Answer answer(QChar function);
    // The awaited frame is due to be sent again: the LIMS asked for it, or has not answered in time.
    bool resendDue(const QDateTime& now) const { return repeatAsked() || overdue(now); }
    bool repeatAsked() const { return m_state == State::Awaiting && m_repeatAsked; }
    bool overdue(const QDateTime& now) const { return m_state == State::Awaiting && now >= m_resendAt; }
    // Its req2send rows are cleared, or it has nothing to send any more.
    void done();

    State state() const { return m_state; }
    const QString& sampleId() const { return m_sampleId; }
    const QVariantList& parameters() const { return m_parameters; }
    int sends() const { return m_sends; }

private:
    State m_state = State::Idle;
    QString m_sampleId;
    QVariantList m_parameters;
    int m_sends = 0;
    QDateTime m_resendAt;
    bool m_repeatAsked = false;
};

} // namespace Quorlix
