#include "E1381Link.h"

#include "E1381Frame.h"
#include "core/FrameText.h"

#include <algorithm>
#include <utility>

namespace Quorlix {

using Kind = E1381Action::Kind;
using Timing = E1381Action::Timing;

namespace {

// A character that would break the framing of a record we send.
bool BreaksFrame(QChar c)
{
    return c.unicode() < 0x20 && c != Cr;
}

// ETB or the character 240 at the start of characters outside a frame.
bool WakesLine(QStringView text)
{
    return !text.isEmpty() && (text.front() == Etb || text.front().unicode() == 240);
}

} // namespace

E1381Link::E1381Link() = default;

E1381Link::E1381Link(Options options) : m_options(options) {}

QString E1381Link::stateName(State state)
{
    switch (state) {
    case State::Idle:
        return QStringLiteral("idle");
    case State::Receiving:
        return QStringLiteral("receiving");
    case State::Bidding:
        return QStringLiteral("bidding");
    case State::BidDelay:
        return QStringLiteral("waiting to bid again");
    case State::Sending:
        return QStringLiteral("sending");
    }
    return {};
}

QList<E1381Action> E1381Link::take()
{
    m_timerAt = -1;
    return std::exchange(m_out, {});
}

void E1381Link::write(const QString& text, Timing timing)
{
    add(Kind::Write, text).timing = timing;
}

void E1381Link::write(QChar c, Timing timing)
{
    // The link characters are written once per frame: one shared text each.
    static const QString ack(Ack), nak(Nak), enq(Enq), eot(Eot);
    write(c == Ack ? ack : c == Nak ? nak : c == Enq ? enq : c == Eot ? eot : QString(c), timing);
}

// Each timer action overrides the ones before it: only the last of one call is kept.
void E1381Link::timerAction(Kind kind, int milliseconds)
{
    if (m_timerAt >= 0)
        m_out.removeAt(m_timerAt);
    add(kind).milliseconds = milliseconds;
    m_timerAt = m_out.size() - 1;
}

E1381Action& E1381Link::add(Kind kind, const QString& text, int messageId)
{
    E1381Action& action = m_out.emplace_back();
    action.kind = kind;
    action.text = text;
    action.messageId = messageId;
    return action;
}

// --- receiving ---------------------------------------------------------------------------------

QList<E1381Action> E1381Link::receive(QStringView chunk)
{
    const QList<E1381Reader::Piece> pieces = m_reader.read(chunk);
    for (const E1381Reader::Piece& piece : pieces)
        onPiece(piece);
    return take();
}

void E1381Link::onPiece(const E1381Reader::Piece& piece)
{
    if (unexpectedBidReply(piece))
        return;
    switch (piece.kind) {
    case E1381Reader::Piece::Kind::Noise:
        if (m_state == State::Sending) {
            add(Kind::Received, piece.text);
            garbledReply(piece.text);
            return;
        }
        if (m_options.wakeCharactersBid && (m_state == State::Idle || m_state == State::BidDelay) &&
            WakesLine(piece.text)) {
            add(Kind::Received, piece.text);
            acceptBid();
            return;
        }
        problem(QStringLiteral("%1 characters outside a frame dropped: %2").arg(piece.size).arg(piece.text));
        return;
    case E1381Reader::Piece::Kind::Cut:
        add(Kind::Received, piece.text);
        if (m_state == State::Sending) {
            garbledReply(piece.text);
            return;
        }
        problem(QStringLiteral("incomplete frame dropped"));
        return;
    case E1381Reader::Piece::Kind::Control:
        add(Kind::Received, piece.text);
        onControl(piece.text.front());
        return;
    case E1381Reader::Piece::Kind::Frame:
        add(Kind::Received, piece.text);
        if (m_state == State::Sending) {
            garbledReply(piece.text);
            return;
        }
        onFrame(piece);
        return;
    }
}

bool E1381Link::unexpectedBidReply(const E1381Reader::Piece& piece)
{
    if (!m_options.refuseUnexpectedBidReply || m_state != State::Bidding)
        return false;
    if (piece.kind == E1381Reader::Piece::Kind::Control) {
        const QChar c = piece.text.front();
        if (c == Ack || c == Nak || c == Enq)
            return false;
    }
    // The owner logs what arrived.
    add(Kind::Received, piece.text);
    write(Nak, Timing::AfterPause);
    m_state = State::Idle;
    stopTimer();
    return true;
}

// While our frame waits for its answer, any reply but ACK or EOT is a refusal: the frame is sent
// again, as for NAK, rather than left to the reply timeout.
void E1381Link::garbledReply(const QString& text)
{
    problem(QStringLiteral("reply %1 to frame %2 is neither ACK nor EOT: taken as NAK")
                .arg(text.left(E1381Reader::NoiseShown))
                .arg(m_frameIndex + 1));
    frameRefused();
}

void E1381Link::onControl(QChar c)
{
    switch (m_state) {
    case State::Idle:
    case State::BidDelay:
        if (c == Enq)
            acceptBid();
        return;
    case State::Receiving:
        if (c == Enq) {
            // The sender started over: a new message.
            if (m_anyFrame) {
                problem(QStringLiteral("ENQ inside a message: the message starts again"));
                dropMessage();
            }
            acceptBid();
        } else if (c == Eot) {
            endMessage();
        }
        return;
    case State::Bidding:
        if (c == Ack) {
            m_state = State::Sending;
            m_frameIndex = 0;
            m_attempts = 0;
            sendFrame();
        } else if (c == Nak) {
            bidRefused();
        } else if (c == Enq) {
            contention();
        }
        return;
    case State::Sending:
        // An EOT in answer to a frame accepts it and asks us to stop soon; the message goes on.
        if (c == Ack || c == Eot)
            frameAccepted();
        else if (c == Nak)
            frameRefused();
        else
            garbledReply(QString(c));
        return;
    }
}

void E1381Link::acceptBid()
{
    write(Ack, Timing::AfterPause);
    m_state = State::Receiving;
    m_expectedNumber = 1;
    m_anyFrame = false;
    m_record.clear();
    m_recordTooLong = false;
    startTimer(ReceiveTimeoutMs);
}

void E1381Link::onFrame(const E1381Reader::Piece& piece)
{
    if (m_state != State::Receiving) {
        problem(QStringLiteral("frame without a bid (ENQ) before it dropped"));
        return;
    }
    startTimer(ReceiveTimeoutMs);
    if (piece.overlong) {
        refuseFrame(
            QStringLiteral("frame of %1 characters is longer than the protocol allows").arg(piece.size));
        return;
    }
    const E1381Frame frame = ParseE1381Frame(piece.text);
    if (!frame.problem.isEmpty()) {
        refuseFrame(frame.problem);
        return;
    }
    if (frame.number == m_expectedNumber) {
        m_anyFrame = true;
        m_expectedNumber = (m_expectedNumber + 1) % 8;
        // The records go to the driver before the ACK, so that they are filed before the
        // instrument may consider them delivered.
        addText(frame.text, frame.last);
        write(Ack, Timing::AtOnce);
    } else if (m_anyFrame && frame.number == (m_expectedNumber + 7) % 8) {
        problem(QStringLiteral("frame %1 received again: acknowledged, used once").arg(frame.number));
        write(Ack, Timing::AtOnce);
    } else {
        refuseFrame(
            QStringLiteral("frame number %1 where %2 was expected").arg(frame.number).arg(m_expectedNumber));
    }
}

void E1381Link::refuseFrame(const QString& reason)
{
    problem(reason + QStringLiteral(": NAK"));
    write(Nak, Timing::AfterPause);
}

void E1381Link::addText(QStringView text, bool endsRecord)
{
    while (!text.isEmpty()) {
        const qsizetype cr = text.indexOf(Cr);
        const QStringView part = cr < 0 ? text : text.first(cr);
        if (m_recordTooLong || m_record.size() + part.size() > m_options.maxRecordLength) {
            m_recordTooLong = true;
            m_record.clear();
        } else {
            m_record += part;
        }
        if (cr < 0)
            break;
        finishRecord();
        text = text.sliced(cr + 1);
    }
    if (endsRecord)
        finishRecord();
}

void E1381Link::finishRecord()
{
    if (m_recordTooLong)
        problem(QStringLiteral("record longer than %1 characters dropped").arg(m_options.maxRecordLength));
    else if (!m_record.isEmpty())
        add(Kind::Record, m_record);
    m_record.clear();
    m_recordTooLong = false;
}

// Forgets the record begun; what becomes of the records delivered before is the owner's matter.
void E1381Link::dropRecord()
{
    if (!m_record.isEmpty() || m_recordTooLong)
        problem(QStringLiteral("message ended inside a record: %1 characters dropped").arg(m_record.size()));
    m_record.clear();
    m_recordTooLong = false;
}

void E1381Link::dropMessage()
{
    dropRecord();
    add(Kind::MessageAborted);
}

void E1381Link::endMessage()
{
    stopTimer();
    dropRecord();
    add(Kind::MessageEnded);
    m_state = State::Idle;
    maybeBid(Timing::AfterPause);
}

// --- sending -----------------------------------------------------------------------------------

QList<E1381Action> E1381Link::send(const QStringList& records)
{
    const int id = ++m_lastId;
    QString refusal;
    if (records.isEmpty())
        refusal = QStringLiteral("message without records not sent");
    for (const QString& record : records) {
        if (record.size() > m_options.maxRecordLength)
            refusal = QStringLiteral("record of %1 characters is longer than %2: message not sent")
                          .arg(record.size())
                          .arg(m_options.maxRecordLength);
        else if (std::any_of(record.begin(), record.end(), BreaksFrame))
            refusal = QStringLiteral("record with a control character: message not sent");
    }
    if (m_pendingRecords + records.size() > m_options.maxPendingRecords)
        refusal =
            QStringLiteral("%1 records wait to be sent already: message not sent").arg(m_pendingRecords);
    if (!refusal.isEmpty()) {
        add(Kind::SendFailed, refusal, id);
        return take();
    }
    m_queue.push_back(Outgoing{id, BuildE1381Message(records, m_options.chainedMessage), records.size()});
    m_pendingRecords += records.size();
    if (m_options.bidOnSend)
        m_bidWanted = true;
    maybeBid(Timing::AfterPause);
    return take();
}

QList<E1381Action> E1381Link::bid()
{
    m_bidWanted = !m_queue.empty();
    maybeBid(Timing::AfterPause);
    return take();
}

void E1381Link::maybeBid(Timing timing)
{
    if (m_queue.empty())
        m_bidWanted = false;
    if (m_state != State::Idle || !m_bidWanted)
        return;
    m_contended = false;
    write(Enq, timing);
    m_state = State::Bidding;
    startTimer(ReplyTimeoutMs);
}

void E1381Link::contention()
{
    if (m_options.contention == Contention::HostRetriesOnce && !m_contended) {
        m_contended = true;
        problem(QStringLiteral("both sides bid: ENQ once more"));
        write(Enq, Timing::AfterPause);
        write(Enq, Timing::AfterPause);
        startTimer(ReplyTimeoutMs);
        return;
    }
    problem(QStringLiteral("both sides bid: the instrument sends first"));
    acceptBid();
}

void E1381Link::bidRefused()
{
    if (++m_refusals < MaxAttempts) {
        m_state = State::BidDelay;
        startTimer(BidRetryMs);
        return;
    }
    m_state = State::Idle;
    stopTimer();
    failAll(QStringLiteral("the instrument refused %1 bids (NAK): message not sent").arg(m_refusals));
}

void E1381Link::sendFrame()
{
    ++m_attempts;
    write(m_queue.front().frames[m_frameIndex], Timing::AfterPause);
    startTimer(ReplyTimeoutMs);
}

void E1381Link::frameAccepted()
{
    m_attempts = 0;
    if (++m_frameIndex < m_queue.front().frames.size())
        sendFrame();
    else
        closeMessage({});
}

void E1381Link::frameRefused()
{
    if (m_attempts < MaxAttempts)
        sendFrame();
    else
        closeMessage(QStringLiteral("frame %1 refused %2 times (NAK): EOT sent, message not delivered")
                         .arg(m_frameIndex + 1)
                         .arg(m_attempts));
}

// Ends the message being sent with EOT; with a failure text, the message failed.
void E1381Link::closeMessage(const QString& failure)
{
    write(Eot, Timing::AfterPause);
    const Outgoing done = m_queue.front();
    m_queue.pop_front();
    m_pendingRecords -= done.records;
    m_refusals = 0;
    if (failure.isEmpty())
        add(Kind::SendCompleted, {}, done.id);
    else
        add(Kind::SendFailed, failure, done.id);
    m_state = State::Idle;
    stopTimer();
    maybeBid(Timing::AtOnce);
}

void E1381Link::failAll(const QString& reason)
{
    for (const Outgoing& message : m_queue)
        add(Kind::SendFailed, reason, message.id);
    m_queue.clear();
    m_pendingRecords = 0;
    m_refusals = 0;
    m_bidWanted = false;
}

// --- the link timer ----------------------------------------------------------------------------

QList<E1381Action> E1381Link::timerExpired()
{
    switch (m_state) {
    case State::Idle:
        break;
    case State::Receiving:
        problem(
            QStringLiteral("no frame and no EOT for %1 s: receiving given up").arg(ReceiveTimeoutMs / 1000));
        m_reader.reset();
        dropMessage();
        m_state = State::Idle;
        maybeBid(Timing::AfterPause);
        break;
    case State::BidDelay:
        m_state = State::Idle;
        maybeBid(Timing::AfterPause);
        break;
    case State::Bidding:
    case State::Sending:
        write(Eot, Timing::AfterPause);
        m_state = State::Idle;
        stopTimer();
        failAll(QStringLiteral("no answer from the instrument within %1 s: EOT sent, message not delivered")
                    .arg(ReplyTimeoutMs / 1000));
        break;
    }
    return take();
}

} // namespace Quorlix
