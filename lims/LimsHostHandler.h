#pragma once

#include "LimsFrameReader.h"
#include "comm/LineHandler.h"
#include "drivers/DriverServices.h"

#include <QString>

namespace Quorlix {

class HitachiDriver;
class JobKind;

// The LIMS side of an analyzer emulation in which the LIMS plays the Hitachi host: for every
// complete frame the LIMS sends, the analyzer gets one frame (">" in general, the previous reply
// again after "?" and "@", or what the LIMS's order leads to) while its link shows "online". The
// reply is kept between frames, also while the analyzer is offline, so that a repeat request from
// the LIMS can send it again.
class LimsHostHandler : public LineHandler
{
public:
    explicit LimsHostHandler(const DriverServices& services);

    void receive(const QString& text) override;

    // The reply sent (or kept) after the last complete frame, without STX and ETX.
    const QString& reply() const { return m_reply; }

protected:
    // An order frame (";"): sets the reply.
    virtual void order(const QString& frame) = 0;
    // Whether "<" frames are known (logged "res").
    virtual bool knowsLessThan() const = 0;

    // Submits a LIMS order of a kind; true when it was stored at once, false when it waits in the
    // spool (the database failed, or earlier records wait).
    bool submitOrder(const JobKind& kind, const QString& frame);
    void monitor(const QString& text);

    const Settings& m_settings;
    Database& m_db;
    Store& m_store;
    // The Hitachi driver of the analyzer line, when it is one: the analyzer's replies echo its last
    // frame.
    HitachiDriver* const m_analyzer;
    QString m_reply = QStringLiteral(">");

private:
    void handle(const QString& frame);

    CommLog& m_log;
    Line& m_analyzerLine;
    const LinkState& m_link;
    LimsFrameReader m_reader;
};

} // namespace Quorlix
