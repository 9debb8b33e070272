#pragma once

#include "AuFrame.h"
#include "AuQueries.h"
#include "AuRelayBuffer.h"
#include "PendingCalibrations.h"
#include "comm/LineHandler.h"
#include "drivers/DriverServices.h"

#include <QHash>
#include <QString>

namespace Quorlix {

enum class AuModel
{
    Au400,
    Au600,
    Au680
};

// The host side of an Olympus AU400, AU600 or AU680 on the analyzer port. The analyzer sends
// frames from STX to ETX; the host acknowledges every complete frame with one raw ACK, answers
// order requests ("R ", "RH") with an order frame, stores results and controls, and collects the
// standards of calibrations ("DA") until a calibration is complete.
//
// With a LIMS side the host sits between the analyzer and a LIMS that plays the AU host: patient
// order requests and the frames the host does not serve itself go to the LIMS (whose answers the
// LIMS-side relay passes back), controls are answered here and their results relayed to the LIMS
// as "DQ" frames carrying the control's name.
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

private:
    void frame(const QString& text);
    void handle(const QString& text, const AuFrame& f);
    void handleWithLims(const QString& text, const AuFrame& f);

    // The ACK and then, when there is one, the order reply: each after the pause (AuSendToAnalyzer).
    void AuSendToAnalyzer(const QString& ack, const QString& reply);
    void AuRelayToLims(const QString& text);

    // STX, the order text for the request, ETX.
    QString orderReply(const AuFrame& f);
    bool isControl(const AuFrame& f) const;
    void storeResults(const QString& text, const AuFrame& f);
    // Fills in the parameter of every result; results of channels without one are left out.
    void resolveParameters(SampleRecord& sample);
    // The absorbance check ("!") and the "F" and "G" flags of one result.
    void checkFlags(const QString& sampleId, ResultEntry& entry);
    void storeCalibration(const QString& text, const AuFrame& f);
    QString controlName(const QString& sampleId);
    void monitor(const QString& text);

    const Settings& m_settings;
    CommLog& m_log;
    const Clock& m_clock;
    Store& m_store;
    Line& m_line;
    Line& m_limsLine;
    const AuModel m_model;
    const bool m_withLims;
    int m_pauseMs = PauseBeforeSendMs;
    AuQueries m_queries;
    AuRelayBuffer m_buffer{QStringLiteral("the analyzer")};
    PendingCalibrations m_pending;
    // Parameters last read per channel, used while the database cannot be reached so that results
    // still reach the store (which keeps them until the database is back).
    QHash<qint16, qint16> m_knownParameters;
};

} // namespace Quorlix
