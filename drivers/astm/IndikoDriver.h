#pragma once

#include "AstmRecords.h"
#include "E1381Session.h"
#include "IndikoRecords.h"
#include "IndikoStore.h"
#include "comm/LineHandler.h"
#include "comm/ProtocolState.h"
#include "core/OrderReplyTime.h"
#include "drivers/DriverServices.h"
#include "store/Records.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Quorlix {

class Clock;
class CommLog;
class Database;
class Line;
class Store;
class JobKind;
struct Settings;

// Whose turn it is on the Indiko's line, by the name the log shows: "IND" the analyzer's (the host
// receives), "INDREADY" the host bid for the line, "INDREQ" the host sends the answers to the
// analyzer's queries, "INDRESULT" the host sends a cancel message.
enum class IndikoState
{
    Ind,
    IndReady,
    IndReq,
    IndResult,
};
QString IndikoStateName(IndikoState state);

// The host side of a Thermo Indiko on the analyzer port, on an ASTM E1381 link (checksums, frame
// numbers, NAK and resend, timers). The analyzer uploads results (H, P, O, R, C, L): each R becomes
// a sample or control result, each C a comment on it, stored once the terminator (L) completed the
// message; a message that ends before it was not received and is discarded (the analyzer sends it
// again whole). It queries for work (H, Q, L): after its EOT the host bids for the line and
// answers every query of the batch with a message of its own (H, P, one or more O, L). The host
// pauses 500 ms before every write but the ACK of a frame and the ENQ that follows its own EOT.
class IndikoDriver final : public LineHandler, private E1381Owner
{
public:
    static constexpr int PauseMs = 500;

    explicit IndikoDriver(const DriverServices& services);
    ~IndikoDriver() override;

    // IndikoReceive, IndikoReadyReceive, IndikoRequestReceive, IndikoResultReceive: a piece of
    // text from the analyzer port; the protocol state decides what it means.
    void receive(const QString& text) override;

    const ProtocolState<IndikoState>& state() const { return m_state; }
    // The analyzer type as the log shows it: "IND", "INDREADY", "INDREQ", "INDRESULT".
    QString analyzerType() const { return m_state.name(); }

    // The cancel message for the specimen of the last order (report type "X").
    void SendCancelMessage();
    // Forgets the queries and the record fields of the batch.
    void ResetIndikoBatch();

    // The records of the answers, built when a query arrives.
    QString BuildPatientRecord(const QString& id);
    QStringList BuildOrderRecord(const QString& id);
    QStringList BuildOrderRecordsMulti(const QString& id);

private:
    enum class Batch
    {
        None,
        Request, // "REQUEST": the last record was a query
        Result,  // "RESULT": the last record was a result
    };
    enum Tag
    {
        AnswerTag = 1,
        CancelTag = 2,
    };
    struct Query
    {
        QString patient;
        QStringList orders;
        QElapsedTimer arrived; // the query record
    };
    // A result of the message being received, with its comments: stored when the message is
    // complete. Its fingerprint is header, order, result and comments together.
    struct PendingResult
    {
        IndikoResultRecord record;
        QDateTime measured;
        QString received;
    };

    void received(const QString& text) override;
    void record(const QString& record) override;
    void messageEnded() override;
    void messageAborted() override;
    void sendCompleted(int tag) override;
    void sendFailed(int tag, const QString& why) override;
    void linkStepped() override;
    QString logText(const QString& written) override;
    // The next write of the character is logged followed by the note.
    void noteNextWrite(QChar c, const QString& note);

    void ParseIndikoHeader(const QString& record);
    void ParseIndikoQuery(const QString& record);
    void ParseIndikoOrder(const QString& record);
    void ParseIndikoResult(const QString& record);
    void StoreIndikoComment(const QString& record);
    // The terminator completed the message: its results go to the store, its queries to the batch.
    void messageComplete();
    // A message that ended before its terminator was not received: nothing of it is used.
    void discardIncomplete();
    QStringList orderRecords(const QString& id, bool multi);
    void answerQueries();
    void messageDone(int tag, bool delivered);
    void monitor(const QString& text);

    const Settings& m_settings;
    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    Store& m_store;
    const JobKind& m_resultKind;
    E1381Session m_session;
    ProtocolState<IndikoState> m_state;
    bool m_contended = false; // the analyzer answered our bid with its own ENQ
    // Notes for the log lines of the link characters written in this step of the link: the label
    // of the record an ACK acknowledges, "ReqOutput" after a bid ...
    QList<std::pair<QChar, QString>> m_writeNotes;

    Batch m_batch = Batch::None;
    QList<Query> m_queries; // of complete messages, to be answered after the analyzer's EOT
    bool m_sendFailed = false;
    QString m_queryTests; // test field of the last query
    // The record fields of the results.
    IndikoSample m_sample;
    // For request: "!" once a comment of the batch had text; with the message being received.
    QString m_dataAlarm;
    QString m_messageDataAlarm;
    // The message being received: its records so far, its queries and its results.
    qsizetype m_messageRecords = 0;
    QList<Query> m_messageQueries;
    QList<PendingResult> m_messageResults;
    bool m_messageTooLong = false; // more results than a message may hold: none of them is stored
    bool m_commentable = false;    // the record before was a result: a comment belongs to it
    Astm::Delimiters m_delimiters; // declared by the header of the message being received
    // The records a result is cut from.
    QString m_header;
    QString m_order;
    OrderReplyQueue m_replies; // the answers being sent
};

} // namespace Quorlix
