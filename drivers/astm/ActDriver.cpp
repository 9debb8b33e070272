#include "ActDriver.h"

#include "ActMessage.h"
#include "ActStore.h"
#include "comm/Dispatch.h"
#include "comm/Line.h"
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "core/Timer.h"
#include "drivers/DriverRegistry.h"
#include "store/Store.h"

namespace Quorlix {

namespace {

// An ACT record is a few dozen characters: a longer one is dropped rather than kept.
E1381Link::Options LinkOptions()
{
    E1381Link::Options options;
    options.maxRecordLength = 4096;
    return options;
}

bool OnlyLinkCharacters(const QString& text)
{
    for (const QChar c : text) {
        if (c != Enq && c != Eot && c != Ack && c != Nak)
            return false;
    }
    return true;
}

} // namespace

ActDriver::ActDriver(const DriverServices& services)
    : m_log(services.log), m_store(services.store), m_line(services.analyzerLine), m_link(LinkOptions())
{
    m_timer = services.timers.create(true, [this] { execute(m_link.timerExpired()); });
    m_store.kinds().require<ActResultsJobKind>();
}

ActDriver::~ActDriver() = default;

void ActDriver::monitor(const QString& text)
{
    m_log.monitor(text);
}

void ActDriver::receive(const QString& text)
{
    execute(m_link.receive(text));
}

void ActDriver::execute(const QList<E1381Action>& actions)
{
    using Kind = E1381Action::Kind;
    for (const E1381Action& action : actions) {
        switch (action.kind) {
        case Kind::Write:
            // The ACT needs no pause before an acknowledgement.
            m_line.send(action.text, Direction::HostToAnalyzer);
            break;
        case Kind::StartTimer:
            m_timer->start(action.milliseconds);
            break;
        case Kind::StopTimer:
            m_timer->stop();
            break;
        case Kind::Received:
            m_receivedSize += action.text.size();
            if (m_received.size() + action.text.size() <= MaxLoggedCharacters)
                m_received += action.text;
            break;
        case Kind::Record:
            onRecord(action.text);
            break;
        case Kind::MessageEnded:
        case Kind::MessageAborted:
            if (!m_records.isEmpty()) {
                discardIncomplete();
            } else if (!OnlyLinkCharacters(m_received)) {
                logReceived();
            }
            // The next message starts afresh; the line itself stays open.
            m_received.clear();
            m_receivedSize = 0;
            break;
        case Kind::Problem:
            monitor(QStringLiteral("ACT link: ") + action.text);
            break;
        case Kind::SendCompleted:
        case Kind::SendFailed:
            break; // the ACT is never sent a message
        }
    }
}

void ActDriver::onRecord(const QString& record)
{
    if (m_records.size() < MaxRecords)
        m_records << record;
    else
        ++m_droppedRecords;
    if (record.startsWith(QLatin1Char('L')))
        handleMessage();
}

// The ACT gave up the message (EOT after NAKs, or ENQ to start again) or it stopped arriving: it
// is not received, and the ACT sends it again whole. The operator's choice belongs to that resend.
void ActDriver::discardIncomplete()
{
    m_records.clear();
    m_droppedRecords = 0;
    logReceived();
    monitor(
        QStringLiteral("ACT message ended without its terminator record (L): not filed; the choice stays"));
}

void ActDriver::logReceived()
{
    if (m_received.isEmpty())
        return;
    QString text = m_received;
    if (m_receivedSize > m_received.size())
        text += QStringLiteral(" ... (%1 more characters not shown)").arg(m_receivedSize - m_received.size());
    m_log.logall(text, Direction::AnalyzerToHost);
    m_received.clear();
    m_receivedSize = 0;
}

void ActDriver::handleMessage()
{
    const QStringList records = std::exchange(m_records, {});
    const qsizetype dropped = std::exchange(m_droppedRecords, 0);
    const ActMessage message = ParseActMessage(records);
    m_choice.messageParsed();
    logReceived();
    if (dropped > 0)
        monitor(QStringLiteral("ACT message of more than %1 records: %2 records dropped")
                    .arg(MaxRecords)
                    .arg(dropped));
    if (message.surplusResults > 0)
        monitor(QStringLiteral("ACT message with %1 results: only the first %2 are stored, %3 skipped")
                    .arg(message.results.size() + message.surplusResults)
                    .arg(ActMessage::MaxResults)
                    .arg(message.surplusResults));

    const QString text = records.join(Cr);
    if (text == m_lastMessage) {
        // The ACT sent the message again (it missed an acknowledgement): it was filed already, and
        // the operator's choice belongs to the next measurement.
        monitor(QStringLiteral("ACT message received again: not filed twice; the choice stays"));
        return;
    }
    m_lastMessage = text;
    fileResults(text, message.results);
}

void ActDriver::fileResults(const QString& message, const QList<ActResult>& results)
{
    const QString id = m_choice.nextSampleId().trimmed();
    if (id.isEmpty()) {
        if (!results.isEmpty())
            monitor(
                QStringLiteral("ACT: no sample or control chosen for this measurement: %1 results not stored")
                    .arg(results.size()));
    } else if (!results.isEmpty()) {
        const ActJob job{id, m_choice.nextIsControl(), results};
        m_store.submit(
            m_store.newJob(m_store.kinds().require<ActResultsJobKind>(), job, ReceivedFrame{message}));
    }
    // Every message consumes the choice, whether or not anything was stored.
    m_choice.consume();
}

void RegisterActDriver(DriverRegistry& registry)
{
    // The ACT sends no sample id: the operator names each measurement in the sample-ID window, and
    // nothing is stored without it. Served with a LIMS side, its input is read and dropped.
    registry.addType(
        {.names = {QStringLiteral("ACT")},
         .entry = QStringLiteral("ActReceive"),
         .entryWithLims = SilentEntry,
         .window = OperatorWindow::SampleChoice,
         .withoutWindowNote = QStringLiteral("ACT results are not stored without the sample-ID window "
                                             "(frmSetID): messages are acknowledged and logged only"),
         .sampleChoice = [](LineHandler& handler) -> SampleChoice* {
             // Only this family's factory builds the handler of the type.
             return &static_cast<ActDriver&>(handler).choice();
         }});
    registry.addHandler({QStringLiteral("ActReceive")},
                        [](const DriverServices& services) { return std::make_unique<ActDriver>(services); });
}

} // namespace Quorlix
