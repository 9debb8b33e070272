#pragma once

#include "FrameBuffer.h"
#include "HitachiFrame.h"
#include "HitachiQueries.h"
#include "HitachiReply.h"
#include "comm/LineHandler.h"
#include "core/OrderReplyTime.h"
#include "drivers/DriverServices.h"
#include "store/Store.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Quorlix {

struct UnmappedFrame;

namespace Hitachi {
struct HandlerRules;
}

enum class HitachiModel
{
    Hit911,
    Hit902,
    Hit912
};

// The host side of a Hitachi analyzer on the analyzer port. The analyzer sends frames from STX to
// ETX; the host answers every complete frame with exactly one frame of its own (">" unless an order
// reply or a repeat is due), stores results, controls and calibrations, and answers inquiries with
// the tests ordered for the sample.
//
// One driver per model and mode; it keeps its own FrameBuffer, the records of the last frame and
// its reply across receive events (HitReply, Hit902Reply, Hit912Reply), so that a repeat request
// "?" can send the previous reply again.
class HitachiDriver final : public LineHandler
{
public:
    static constexpr int PauseBeforeReplyMs = 100;

    // withLims: the handler used when a LIMS side is configured (Hit911ReceiveWithLims,
    // Hit902ReceiveWithLims); a 912 has none and then ignores its input.
    HitachiDriver(const DriverServices& services, HitachiModel model, bool withLims,
                  int replyPauseMs = PauseBeforeReplyMs);

    HitachiModel model() const { return m_model; }

    // Hit911Receive, Hit902Receive, Hit912Receive, or the forms with a LIMS side: a piece of text
    // received on the analyzer port.
    void receive(const QString& received) override;

    // The reply sent after the last complete frame, without STX and ETX.
    const QString& reply() const { return m_reply; }
    const FrameBuffer& frameBuffer() const { return m_buffer; }

    // The order reply for an id, echoing the identification of the last frame: order kind 1 selects
    // the id's tests from the database, kind 0 selects none, any other kind leaves the selection
    // out. The LIMS side builds the analyzer's replies with it too.
    QString orderReply(const QString& sampleId, int orderKind);

    // The records of the last frame the analyzer sent (the LIMS side echoes them).
    const HitachiFrameRecord& frameRecord() const { return m_frame; }
    const SampleRecord& sampleRecord() const { return m_sample; }

    // Sends the inquiry of the last parsed frame on the LIMS line, as a Hitachi 912 asks its host.
    void ForwardInquiryToLims();
    // The inquiry waiting for its answer; the LIMS side answers a forwarded one.
    OrderReplyTime& replyTime() { return m_replyTime; }

private:
    void receiveWithLims(const QString& received);
    void handle(const Hitachi::HandlerRules& rules, const QString& received);
    // One complete frame; previous is the reply sent before it (a repeat request sends it again).
    void handleFrame(const Hitachi::HandlerRules& rules, const QString& previous);
    void results(const Hitachi::HandlerRules& rules);
    // Returns false when nothing is to be sent to the analyzer for this inquiry.
    bool inquiry(const Hitachi::HandlerRules& rules);
    void sendReply(const Hitachi::HandlerRules& rules);
    // The reply, after any pause pending on the line.
    void writeReply();
    void PauseBeforeReply();

    HitachiFrame capture() const;
    void commit(const HitachiFrame& frame);
    void parse(const QString& text, HitachiFrame& frame) const;
    void storeResult(const QString& controlLog, const QString& sampleLog);
    // The frame being handled, for the store to recognise it when the analyzer sends it again.
    ReceivedFrame receivedFrame(bool calibration = false) const;
    void storeCalibration();
    // A frame whose channels cannot be mapped now goes to the store as it is.
    void keepUnmapped(const UnmappedFrame& frame, const QString& error);
    QString selectionFor(const QString& sampleId, int orderKind);
    Hit912Patient patientFor(const QString& sampleId);
    void monitor(const QString& text);

    const Settings& m_settings;
    Database& m_db;
    CommLog& m_log;
    Store& m_store;
    Line& m_line;
    Line& m_limsLine;
    const LinkState& m_link;
    const HitachiModel m_model;
    const bool m_withLims;
    const int m_replyPauseMs;
    HitachiQueries m_queries;
    OrderReplyTime m_replyTime;
    FrameBuffer m_buffer;
    QString m_frameText; // the frame being handled, from STX to ETX
    QString m_reply = QStringLiteral(">");
    // The records of the last parsed frame (SampleId ..., the Hitachi frame record, the
    // calibration record).
    SampleRecord m_sample;
    HitachiFrameRecord m_frame;
    CalibrationRecord m_calibration;
};

} // namespace Quorlix
