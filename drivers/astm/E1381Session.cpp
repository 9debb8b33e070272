#include "E1381Session.h"

#include "AstmLog.h"
#include "comm/Line.h"
#include "core/CommLog.h"
#include "core/Timer.h"

#include <utility>

namespace Quorlix {

using Kind = E1381Action::Kind;

E1381Session::E1381Session(Line& line, CommLog& log, Timers& timers, E1381Link::Options options, int pauseMs,
                           E1381Owner& owner)
    : m_line(line), m_log(log), m_link(options), m_pauseMs(pauseMs), m_owner(owner),
      m_timer(timers.create(true, [this] { run(m_link.timerExpired()); }))
{
    m_lineIdle = QObject::connect(&m_line, &Line::idle, &m_line, [this] { lineIdle(); });
}

E1381Session::~E1381Session()
{
    QObject::disconnect(m_lineIdle);
}

void E1381Session::lineIdle()
{
    if (m_timerAfterWrite > 0)
        m_timer->start(std::exchange(m_timerAfterWrite, 0));
}

void E1381Session::receive(const QString& chunk)
{
    run(m_link.receive(chunk));
}

void E1381Session::send(const QStringList& records, int tag)
{
    // The link numbers its messages 1, 2 ... in the order of the calls.
    m_tags.append({++m_lastId, tag});
    run(m_link.send(records));
}

int E1381Session::frontTag() const
{
    return m_tags.isEmpty() ? -1 : m_tags.front().second;
}

void E1381Session::run(QList<E1381Action> actions)
{
    m_queue.append(std::move(actions));
    if (m_running)
        return; // the loop below takes them in turn
    m_running = true;
    while (!m_queue.isEmpty())
        execute(m_queue.takeFirst());
    m_running = false;
    m_owner.linkStepped();
}

void E1381Session::execute(const E1381Action& action)
{
    switch (action.kind) {
    case Kind::Write:
        if (action.timing == E1381Action::Timing::AfterPause && m_pauseMs > 0)
            m_line.pause(m_pauseMs);
        m_line.send(action.text, Direction::HostToAnalyzer, m_owner.logText(action.text));
        return;
    case Kind::StartTimer:
        m_timer->stop();
        m_timerAfterWrite = 0;
        if (m_line.isBusy())
            m_timerAfterWrite = action.milliseconds;
        else
            m_timer->start(action.milliseconds);
        return;
    case Kind::StopTimer:
        m_timerAfterWrite = 0;
        m_timer->stop();
        return;
    case Kind::Received:
        m_owner.received(action.text);
        return;
    case Kind::Record:
        // The type and length only: records carry patient data.
        qCDebug(lcAstm) << "record" << action.text.left(1) << "characters" << action.text.size();
        m_owner.record(action.text);
        return;
    case Kind::MessageEnded:
        m_owner.messageEnded();
        return;
    case Kind::MessageAborted:
        m_owner.messageAborted();
        return;
    case Kind::SendCompleted:
    case Kind::SendFailed: {
        int tag = -1;
        for (qsizetype i = 0; i < m_tags.size(); ++i) {
            if (m_tags[i].first == action.messageId) {
                tag = m_tags.takeAt(i).second;
                break;
            }
        }
        if (action.kind == Kind::SendCompleted)
            m_owner.sendCompleted(tag);
        else
            m_owner.sendFailed(tag, action.text);
        return;
    }
    case Kind::Problem:
        m_log.monitor(action.text);
        return;
    }
}

} // namespace Quorlix
