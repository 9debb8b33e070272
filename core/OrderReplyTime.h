#pragma once

#include "InstanceStats.h"

#include <QElapsedTimer>
#include <QList>

namespace Quorlix {

// Times one order request at a time, from the arrival of the request's frame until the answer's
// last frame is handed to the line, into the instance's reply histogram. Monotonic: a clock set
// back or forward meanwhile does not change a reply time.
class OrderReplyTime
{
public:
    explicit OrderReplyTime(InstanceStats& stats) : m_stats(stats) {}

    void requestReceived() { m_since.start(); }
    bool pending() const { return m_since.isValid(); }
    // The request is answered: counted once; an answer to no timed request is not counted.
    void answered()
    {
        if (!m_since.isValid())
            return;
        m_stats.orderReplies.add(static_cast<double>(m_since.nsecsElapsed()) / 1e6);
        m_since.invalidate();
    }

private:
    InstanceStats& m_stats;
    QElapsedTimer m_since;
};

// Answers a link sends one after another and reports one by one as delivered (an ASTM session:
// the answer ends with its EOT): the arrival of each one's request, in the order of sending.
class OrderReplyQueue
{
public:
    explicit OrderReplyQueue(InstanceStats& stats) : m_stats(stats) {}

    void queued(const QElapsedTimer& requestArrived) { m_arrivals.append(requestArrived); }
    // The first answer waiting was delivered: counted.
    void delivered()
    {
        if (m_arrivals.isEmpty())
            return;
        m_stats.orderReplies.add(static_cast<double>(m_arrivals.takeFirst().nsecsElapsed()) / 1e6);
    }
    // The first answer waiting could not be delivered: not an answered request.
    void failed()
    {
        if (!m_arrivals.isEmpty())
            m_arrivals.removeFirst();
    }

private:
    InstanceStats& m_stats;
    QList<QElapsedTimer> m_arrivals;
};

} // namespace Quorlix
