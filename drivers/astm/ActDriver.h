#pragma once

#include "ActMessage.h"
#include "E1381Link.h"
#include "comm/LineHandler.h"
#include "drivers/DriverServices.h"
#include "drivers/SampleChoice.h"

#include <QStringList>

#include <memory>

namespace Quorlix {

class CommLog;
class DriverRegistry;
class Line;
class Store;
class Timer;

// The host side of a Coulter ACT 8 on the analyzer port (ActReceive). The ACT only sends: its
// messages (H, R ..., L) arrive on the E1381 link, which acknowledges every frame and every ENQ.
// The records carry no usable sample id, so every message is filed under what the operator chose
// beforehand (SampleChoice) and consumes that choice; with nothing chosen its results are dropped. A
// message is complete with its terminator (L); one that ends before it is not filed.
// Every message is logged as received.
class ActDriver final : public LineHandler
{
public:
    // Records kept of one message (an ACT message has a header, at most a few dozen results and a
    // terminator); characters of one message kept for its log line.
    static constexpr qsizetype MaxRecords = 256;
    static constexpr qsizetype MaxLoggedCharacters = 64 * 1024;

    explicit ActDriver(const DriverServices& services);
    ~ActDriver() override;

    void receive(const QString& text) override;

    // ActNextSampleId and ActNextIsControl, shared with the sample-ID window.
    SampleChoice& choice() { return m_choice; }
    E1381Link::State linkState() const { return m_link.state(); }

private:
    void execute(const QList<E1381Action>& actions);
    void onRecord(const QString& record);
    // The message's terminator arrived.
    void handleMessage();
    void discardIncomplete();
    void fileResults(const QString& message, const QList<ActResult>& results);
    void logReceived();
    void monitor(const QString& text);

    CommLog& m_log;
    Store& m_store;
    Line& m_line;
    E1381Link m_link;
    std::unique_ptr<Timer> m_timer;
    SampleChoice m_choice;
    QStringList m_records; // of the message being received
    qsizetype m_droppedRecords = 0;
    QString m_received; // its characters as they arrived, for the log
    qsizetype m_receivedSize = 0;
    QString m_lastMessage; // the records of the last message, to recognise it when it comes again
};

// The ACT 8 driver under its entry ActReceive.
void RegisterActDriver(DriverRegistry& registry);

} // namespace Quorlix
