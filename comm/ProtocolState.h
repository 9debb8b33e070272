#pragma once

#include <QString>

#include <functional>

namespace Quorlix {

// The state of a line protocol that has a session (whose turn it is, what is awaited). An explicit
// enum value, never a text re-read from the settings; a name for log lines is derived from it.
// `onChange` hears every transition (a driver logs it, a test records it).
template <typename State> class ProtocolState
{
public:
    using Namer = QString (*)(State);

    ProtocolState(State initial, Namer namer) : m_state(initial), m_namer(namer) {}

    State operator()() const { return m_state; }
    bool is(State state) const { return m_state == state; }
    QString name() const { return m_namer(m_state); }

    void enter(State next)
    {
        if (next == m_state)
            return;
        const State previous = m_state;
        m_state = next;
        if (onChange)
            onChange(previous, next);
    }

    std::function<void(State from, State to)> onChange;

private:
    State m_state;
    Namer m_namer;
};

} // namespace Quorlix
