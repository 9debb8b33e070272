#pragma once

#include "SimRole.h"

#include <QStringList>

namespace QuorlixSim {

// A Coulter ACT 8 toward its host: it only sends. Each message is an ENQ, one E1381 frame per
// record (header, patient, results, terminator) and EOT; the host must acknowledge the ENQ and
// every frame with exactly one ACK, and only once the frame is complete.
struct SimMessage;

class ActAnalyzerRole final : public SimRole
{
public:
    bool parse(const ScriptLine& line, SimStep& step, QString* error) override;
    QString help() const override;

private:
    // Writes text and expects one ACK for it.
    bool acknowledged(SimSession& session, int line, const QString& text, const QString& what);
    QString answer(SimSession& session);
    // One attempt at a message: ENQ, its frames (with the message's faults), EOT. True when every
    // frame was acknowledged.
    bool deliver(SimSession& session, int line, const SimMessage& message, const QStringList& frames);

    int m_messages = 0;
    QString m_last;
};

} // namespace QuorlixSim
