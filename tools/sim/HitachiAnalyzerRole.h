#pragma once

#include "HitachiAnalyzerFrames.h"
#include "SimRole.h"

namespace QuorlixSim {

// A Hitachi 911, 902 or 912 toward its host: it polls, asks for the orders of samples, sends
// results, controls and calibrations, and checks every answer (">" or the order reply).
class HitachiAnalyzerRole final : public SimRole
{
public:
    explicit HitachiAnalyzerRole(Model model) : m_model(model) {}

    bool parse(const ScriptLine& line, SimStep& step, QString* error) override;
    QString help() const override;
    QString controlLine(const QString& controlId, const QString& test, const QString& value,
                        const QDateTime& measured) const override;

private:
    // Sends a frame and waits for its answer, sending it again after a time-out as often as
    // --retry allows.
    QString exchange(SimSession& session, const QString& frame);
    QString answer(SimSession& session, bool retryFollows);
    void expectOrderReply(SimSession& session, int line, const QString& reply, bool allZero);
    bool realTime(QChar frameClass) const;

    Model m_model;
    QString m_last;
    QString m_lastSelection;
};

} // namespace QuorlixSim
