#pragma once

#include "AuSimFrames.h"
#include "SimRole.h"

namespace QuorlixSim {

// An Olympus AU400, AU600 or AU680 toward its host: it asks for the orders of samples ("R ", "RH"),
// sends results, controls and calibration standards, and checks every answer (one ACK, and after a
// request the order frame). The AU680 writes its values with a decimal comma.
class AuAnalyzerRole final : public SimRole
{
public:
    explicit AuAnalyzerRole(bool decimalComma) : m_decimalComma(decimalComma) {}

    bool parse(const ScriptLine& line, SimStep& step, QString* error) override;
    QString help() const override;
    QString controlLine(const QString& controlId, const QString& test, const QString& value,
                        const QDateTime& measured) const override;

private:
    // Sends a frame and waits for the ACK, sending it again after a time-out as often as --retry
    // allows. False when no ACK came.
    bool acknowledged(SimSession& session, const QString& frame, int line);
    QString read(SimSession& session);

    bool m_decimalComma;
    QString m_last;         // the last answer
    QString m_channels;     // the channels of the last order frame
    bool m_loseAck = false; // the next results frame goes twice
};

} // namespace QuorlixSim
