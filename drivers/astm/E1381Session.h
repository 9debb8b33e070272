#pragma once

#include "E1381Link.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace Quorlix {

class CommLog;
class Line;
class Timer;
class Timers;

// What an instrument driver hears from its E1381 session.
class E1381Owner
{
public:
    virtual ~E1381Owner() = default;
    // A frame or link character as it arrived, for the communication log (A->H).
    virtual void received(const QString& text) = 0;
    // One complete record, without framing and without its CR.
    virtual void record(const QString& record) = 0;
    // The instrument's EOT ended its message. A message whose terminator record (L) has not
    // arrived by then was given up by the instrument (six NAKs on one frame): it is not received.
    virtual void messageEnded() = 0;
    // The instrument's message was given up (no frame for 30 s, or ENQ starting it again): it is
    // not received, and the records delivered of it are not to be used.
    virtual void messageAborted() {}
    // A message of ours, by the tag it was sent with: every frame acknowledged and EOT written.
    virtual void sendCompleted(int tag) = 0;
    // Not delivered; why is one Monitor line.
    virtual void sendFailed(int tag, const QString& why) = 0;
    // After each step of the link (its state may have changed).
    virtual void linkStepped() {}
    // What the communication log shows for a text the session writes (H->A): the text itself, or
    // the text with a note of what it answers.
    virtual QString logText(const QString& written) { return written; }
};

// An E1381 link at work on an instrument line: it executes the link's actions in order - writes
// (after the instrument's pause where the link asks for one), the link timer from the program's
// timers, problems as Monitor lines - and hands records and message events to its owner. The
// owner may send from inside its callbacks: what the link does then follows what it was doing.
class E1381Session
{
public:
    E1381Session(Line& line, CommLog& log, Timers& timers, E1381Link::Options options, int pauseMs,
                 E1381Owner& owner);
    ~E1381Session();

    // Characters received on the line.
    void receive(const QString& chunk);
    // Queues a message of records; the tag comes back with sendCompleted or sendFailed.
    void send(const QStringList& records, int tag);

    E1381Link::State state() const { return m_link.state(); }
    qsizetype pendingMessages() const { return m_link.pendingMessages(); }
    // The tag of the message being sent or next to be sent; -1 when none waits.
    int frontTag() const;

private:
    void run(QList<E1381Action> actions);
    void execute(const E1381Action& action);
    void lineIdle();

    Line& m_line;
    CommLog& m_log;
    E1381Link m_link;
    const int m_pauseMs;
    E1381Owner& m_owner;
    std::unique_ptr<Timer> m_timer;
    // A timer asked for while the line still waits to write (a pause before our frame): it starts
    // when the line has written, so that the instrument's reply time runs from our frame on.
    int m_timerAfterWrite = 0;
    QMetaObject::Connection m_lineIdle;
    QList<E1381Action> m_queue;
    bool m_running = false;
    int m_lastId = 0;
    QList<std::pair<int, int>> m_tags; // message id and tag, in the order of sending
};

} // namespace Quorlix
