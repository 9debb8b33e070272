#pragma once

#include "E1381Action.h"
#include "E1381Reader.h"

#include <QList>
#include <QStringList>

#include <deque>

namespace Quorlix {

// The ASTM E1381 link layer of one instrument line, as a state machine without I/O: the owner feeds
// it received characters, the expiry of its one timer and its own requests, and executes the
// actions it returns, in order.
//
// Receiving: the instrument bids with ENQ, which is acknowledged; it then sends frames numbered
// 1..7, 0, 1 ... and ends the message with EOT. A sound frame with the expected number is
// acknowledged at once; a frame with a wrong checksum, a broken layout, more than 247 characters
// of text or an unexpected number is answered with NAK and not used, and the sender sends it again.
// A frame repeated with the previous number (our ACK was lost) is acknowledged and not used twice.
// A record ends at its CR, or at the end of an ETX frame: the ETB frames before it are joined into
// it, and an instrument that chains a whole message with ETB has each of its records delivered
// when its frame arrives. Records longer than maxRecordLength are dropped with a problem report.
// Without a frame or EOT for 30 s the message is given up and the link is idle again.
//
// Sending: send() queues a message (a list of records). The link bids with ENQ when the line is
// idle; on ACK it sends one frame per ACK; a frame answered with NAK is sent again, six times in all,
// and then the message ends with EOT and fails. Without an answer within 15 s the link writes EOT
// and every queued message fails: the instrument is not listening. After the last frame's ACK the
// link writes EOT and, when another message waits, bids again at once. An instrument that refuses
// the bid with NAK is asked again after 10 s, six times in all. While the instrument sends, a bid
// waits until its EOT.
//
// Contention (both sides bid at the same moment: we wrote ENQ and receive ENQ): the instrument
// wins, as E1381 rules. Its ENQ is acknowledged, its message received, and we bid again after its
// EOT. With Contention::HostRetriesOnce (the Indiko's way) we answer the first contention of a bid
// with ENQ twice and yield only on the second contention.
//
// A receive-only instrument simply never gets send() or bid().
class E1381Link
{
public:
    enum class State
    {
        Idle,      // neutral: neither side has the line
        Receiving, // the instrument's bid was acknowledged; its frames arrive
        Bidding,   // we wrote ENQ and wait for the answer
        BidDelay,  // the instrument refused our bid; we ask again when the timer expires
        Sending,   // we write one frame per ACK
    };
    enum class Contention
    {
        InstrumentWins,
        HostRetriesOnce,
    };
    struct Options
    {
        Contention contention = Contention::InstrumentWins;
        // ETX only after a message's last frame, each record ending with CR and ETB before it.
        bool chainedMessage = false;
        // With false, send() only queues and the owner decides the moment with bid().
        bool bidOnSend = true;
        // Outside a message, characters beginning with ETB or the character 240 are a bid, as ENQ
        // is (an instrument that wakes the line with them waits for the ACK).
        bool wakeCharactersBid = false;
        // While we bid, an answer that is neither ACK, NAK nor ENQ is refused with NAK and the line
        // is left to the instrument; we bid again after its next message.
        bool refuseUnexpectedBidReply = false;
        qsizetype maxRecordLength = 64 * 1024;
        qsizetype maxPendingRecords = 4096;
    };

    static constexpr int ReplyTimeoutMs = 15000;
    static constexpr int ReceiveTimeoutMs = 30000;
    static constexpr int BidRetryMs = 10000;
    static constexpr int MaxAttempts = 6;

    E1381Link();
    explicit E1381Link(Options options);

    static QString stateName(State state);
    State state() const { return m_state; }

    QList<E1381Action> receive(QStringView chunk);
    QList<E1381Action> timerExpired();
    // Queues a message; messages are numbered 1, 2 ... in the order of the calls, and the number
    // comes back with SendCompleted or SendFailed.
    QList<E1381Action> send(const QStringList& records);
    // Bids for the queued messages now, or as soon as the line is idle.
    QList<E1381Action> bid();

    qsizetype pendingMessages() const { return qsizetype(m_queue.size()); }
    // Characters held for frames and records being received.
    qsizetype bufferedCharacters() const { return m_reader.buffered() + m_record.size(); }

private:
    struct Outgoing
    {
        int id = 0;
        QStringList frames;
        qsizetype records = 0;
    };

    QList<E1381Action> take();
    void write(QChar c, E1381Action::Timing timing);
    void write(const QString& text, E1381Action::Timing timing);
    void startTimer(int milliseconds) { timerAction(E1381Action::Kind::StartTimer, milliseconds); }
    void stopTimer() { timerAction(E1381Action::Kind::StopTimer, 0); }
    void timerAction(E1381Action::Kind kind, int milliseconds);
    E1381Action& add(E1381Action::Kind kind, const QString& text = {}, int messageId = 0);
    void problem(const QString& text) { add(E1381Action::Kind::Problem, text); }

    void onPiece(const E1381Reader::Piece& piece);
    void onControl(QChar c);
    void onFrame(const E1381Reader::Piece& piece);
    void garbledReply(const QString& text);
    bool unexpectedBidReply(const E1381Reader::Piece& piece);
    void acceptBid();
    void refuseFrame(const QString& reason);
    void addText(QStringView text, bool endsRecord);
    void finishRecord();
    void dropRecord();
    void dropMessage();
    void endMessage();

    void maybeBid(E1381Action::Timing timing);
    void contention();
    void bidRefused();
    void sendFrame();
    void frameAccepted();
    void frameRefused();
    void closeMessage(const QString& failure);
    void failAll(const QString& reason);

    Options m_options;
    State m_state = State::Idle;
    QList<E1381Action> m_out;
    qsizetype m_timerAt = -1; // the timer action in m_out, if any
    E1381Reader m_reader;

    // receiving
    int m_expectedNumber = 1;
    bool m_anyFrame = false;
    QString m_record;
    bool m_recordTooLong = false;

    // sending
    std::deque<Outgoing> m_queue;
    qsizetype m_pendingRecords = 0;
    int m_lastId = 0;
    bool m_bidWanted = false;
    bool m_contended = false;
    int m_refusals = 0;
    qsizetype m_frameIndex = 0;
    int m_attempts = 0;
};

} // namespace Quorlix
