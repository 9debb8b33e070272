#pragma once

#include "AuFrame.h"
#include "AuQueries.h"
#include "AuRelayBuffer.h"
#include "comm/LineHandler.h"
#include "core/OrderReplyTime.h"
#include "core/Timer.h"
#include "drivers/DriverServices.h"
#include "store/Store.h"

#include <QString>

#include <memory>

namespace Quorlix {

class JobKind;

// The host side of an Olympus AU400, AU600 or AU680 on the analyzer port. The analyzer sends
// frames from STX to ETX; the host acknowledges every complete frame with one raw ACK, answers
// order requests ("R ", "RH") with an order frame, and hands results, controls and the standards
// of calibrations ("DA") to the store as received. The standards wait in the database until their
// calibration is complete (AuStandardsJob.h).
//
// With a LIMS side the host sits between the analyzer and a LIMS that plays the AU host: patient
// order requests and the frames the host does not serve itself go to the LIMS (whose answers the
// LIMS-side relay passes back), controls are answered here and their results relayed to the LIMS
// as "DQ" frames carrying the control's name, once stored.
//
// Each of the two sends to the analyzer waits a pause first (750 ms; on the AU600 the `au600pause`
// setting); the line keeps the pauses and sends in order without blocking anything else.
class AuDriver final : public LineHandler
{
public:
    static constexpr int PauseBeforeSendMs = 750;
    static constexpr int LongestPauseMs = 10000;

    AuDriver(const DriverServices& services, AuModel model, bool withLims);

    // Au400Receive, Au600Receive, Au680Receive, or the forms with a LIMS side.
    void receive(const QString& received) override;

    int pauseMs() const { return m_pauseMs; }
    // The order request waiting for its answer; the LIMS answers a relayed one.
    OrderReplyTime& replyTime() { return m_replyTime; }

private:
    void frame(const QString& text);
    void handle(const QString& text, const AuFrame& f);
    void handleWithLims(const QString& text, const AuFrame& f);

    // One write to the analyzer (the ACK, or an order reply), after the protocol's pause.
    void AuSendToAnalyzer(const QString& text);
    // The ACK and the order reply to an order request.
    void AuSendOrderReply(const AuFrame& f);
    void AuRelayToLims(const QString& text);

    // STX, the order text for the request, ETX.
    QString orderReply(const AuFrame& f);
    bool isControl(const AuFrame& f) const;
    // Results and controls go to the store as received; their channels and flags are read in the
    // transaction that stores them. relayToLims: a control relayed to the LIMS once stored.
    void storeResults(const QString& text, const AuFrame& f, bool relayToLims = false);
    // The standards join those waiting for the rest of their calibration.
    void storeCalibration(const QString& text, const AuFrame& f);
    // The standards that wait are looked at once their calibration may be over.
    void submitStandards(const QList<AuCalibrationEntry>& standards, const ReceivedFrame& received);
    void monitor(const QString& text);

    const Settings& m_settings;
    CommLog& m_log;
    Store& m_store;
    const JobKind& m_receivedKind;
    Line& m_line;
    Line& m_limsLine;
    const AuModel m_model;
    const bool m_withLims;
    int m_pauseMs = PauseBeforeSendMs;
    AuQueries m_queries;
    OrderReplyTime m_replyTime;
    AuRelayBuffer m_buffer{QStringLiteral("the analyzer")};
    std::unique_ptr<Timer> m_lookAtStandards;
};

} // namespace Quorlix
