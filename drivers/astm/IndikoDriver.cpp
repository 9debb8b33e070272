#include "IndikoDriver.h"

#include "IndikoComment.h"
#include "IndikoQueries.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "core/Stamps.h"
#include "store/ControlStore.h"
#include "store/Store.h"

namespace Quorlix {

namespace {

E1381Link::Options IndikoLinkOptions()
{
    E1381Link::Options options;
    options.contention = E1381Link::Contention::HostRetriesOnce;
    options.wakeCharactersBid = true;
    options.refuseUnexpectedBidReply = true;
    // A full batch: every query answered with H, P, the most O records and L.
    options.maxPendingRecords = Indiko::MaxQueries * (Indiko::MaxTests + 3);
    return options;
}

} // namespace

QString IndikoStateName(IndikoState state)
{
    switch (state) {
    case IndikoState::Ind:
        return QStringLiteral("IND");
    case IndikoState::IndReady:
        return QStringLiteral("INDREADY");
    case IndikoState::IndReq:
        return QStringLiteral("INDREQ");
    case IndikoState::IndResult:
        return QStringLiteral("INDRESULT");
    }
    return {};
}

IndikoDriver::IndikoDriver(const DriverServices& services)
    : m_settings(services.settings), m_db(services.db), m_log(services.log), m_clock(services.clock),
      m_store(services.store), m_resultKind(services.store.kinds().require<IndikoResultJobKind>()),
      m_session(services.analyzerLine, services.log, services.timers, IndikoLinkOptions(), PauseMs, *this),
      m_state(IndikoState::Ind, IndikoStateName), m_replies(services.stats)
{
    // Comments spooled on their own by earlier releases are still read and stored.
    services.store.kinds().require<IndikoCommentJobKind>();
    SetIndikoStoreRules(services.store.kinds());
    m_state.onChange = [this](IndikoState from, IndikoState to) {
        if (from == IndikoState::IndReady && (to == IndikoState::IndReq || to == IndikoState::IndResult))
            monitor(QStringLiteral("IND Ready"));
    };
}

IndikoDriver::~IndikoDriver() = default;

void IndikoDriver::monitor(const QString& text)
{
    m_log.monitor(text);
}

void IndikoDriver::receive(const QString& text)
{
    // The line ignores DC1; while the host bids or sends, the log says it came.
    if (!m_state.is(IndikoState::Ind) && text.startsWith(Dc1))
        monitor(QStringLiteral("DC1 received"));
    m_session.receive(text);
}

void IndikoDriver::noteNextWrite(QChar c, const QString& note)
{
    for (auto& [written, text] : m_writeNotes) {
        if (written == c && c == Ack) {
            text += note; // two records in one frame: one ACK
            return;
        }
    }
    m_writeNotes.append({c, note});
}

QString IndikoDriver::logText(const QString& written)
{
    if (written.size() != 1)
        return written;
    for (qsizetype i = 0; i < m_writeNotes.size(); ++i) {
        if (m_writeNotes[i].first == written.front())
            return written + m_writeNotes.takeAt(i).second;
    }
    return written;
}

void IndikoDriver::linkStepped()
{
    m_writeNotes.clear();
    switch (m_session.state()) {
    case E1381Link::State::Idle:
    case E1381Link::State::Receiving:
        m_state.enter(IndikoState::Ind);
        break;
    case E1381Link::State::Bidding:
    case E1381Link::State::BidDelay:
        if (!m_state.is(IndikoState::IndReady))
            m_contended = false;
        m_state.enter(IndikoState::IndReady);
        break;
    case E1381Link::State::Sending:
        m_state.enter(m_session.frontTag() == CancelTag ? IndikoState::IndResult : IndikoState::IndReq);
        break;
    }
}

void IndikoDriver::received(const QString& text)
{
    const QChar first = text.isEmpty() ? QChar() : text.front();
    if (m_state.is(IndikoState::Ind)) {
        if (first == Enq || first == Etb) {
            m_log.logall(text + QStringLiteral(" single inbuff"), Direction::AnalyzerToHost);
        } else if (first.unicode() == 240) {
            m_log.logall(text + QStringLiteral(" single inbuff ASCII 240"), Direction::AnalyzerToHost);
        } else if (first == Eot) {
            m_log.logall(text + QStringLiteral("EOT"), Direction::AnalyzerToHost);
            monitor(QStringLiteral(" ACK after EOT suppressed"));
        } else {
            m_log.logall(text, Direction::AnalyzerToHost);
        }
        return;
    }
    if (m_state.is(IndikoState::IndReady) && first == Enq) {
        // Both sides bid: the first time the host bids twice more, the second time it yields.
        m_log.logall(text + QStringLiteral("IND Not Ready"), Direction::AnalyzerToHost);
        if (!std::exchange(m_contended, true)) {
            noteNextWrite(Enq, QStringLiteral(" Answer ENQ to Indiko ENQ"));
            noteNextWrite(Enq, QStringLiteral("ReqOutput"));
        } else {
            noteNextWrite(Ack, QStringLiteral(" Answer to ENQ #2, back to analyzer_type IND"));
        }
        return;
    }
    m_log.logall(text, Direction::AnalyzerToHost);
    if (first == Nak) {
        monitor(QStringLiteral("NAK received"));
    } else if (first != Ack && !(first == Eot && !m_state.is(IndikoState::IndReady))) {
        monitor(QStringLiteral("Received unexpected: ") + text);
        if (m_state.is(IndikoState::IndReady))
            noteNextWrite(Nak, QStringLiteral("ReqOutput"));
    }
}

// --- receiving ---------------------------------------------------------------------------------

void IndikoDriver::record(const QString& received)
{
    ++m_messageRecords;
    const QChar type = received.isEmpty() ? QChar() : received.front();
    // The header declares the delimiters of its message; the records are read in the usual ones.
    if (type == QLatin1Char('H'))
        m_delimiters = Astm::Delimiters::ofHeader(received);
    const QString record = Astm::UsualDelimiters(received, m_delimiters);
    // A comment belongs to the result before it; a header, patient, order or terminator ends that.
    if (QStringLiteral("HPOL").contains(type))
        m_commentable = false;
    // The ACK of the record's frame is logged with its label.
    switch (type.toLatin1()) {
    case 'H':
        noteNextWrite(Ack, QStringLiteral("header"));
        ParseIndikoHeader(record);
        break;
    case 'P':
        noteNextWrite(Ack, QStringLiteral("patinfo"));
        break;
    case 'Q':
        noteNextWrite(Ack, QStringLiteral("SampleRequest"));
        m_batch = Batch::Request;
        ParseIndikoQuery(record);
        break;
    case 'O':
        noteNextWrite(Ack, QStringLiteral("sampleRecord"));
        ParseIndikoOrder(record);
        break;
    case 'R':
        noteNextWrite(Ack, QStringLiteral("TestResult"));
        m_batch = Batch::Result;
        ParseIndikoResult(record);
        break;
    case 'C':
        noteNextWrite(Ack, QStringLiteral("TestComment"));
        StoreIndikoComment(record);
        break;
    case 'L':
        noteNextWrite(Ack, QStringLiteral("Terminator"));
        messageComplete();
        m_sample.IndMeasTime = {};
        m_delimiters = {};
        break;
    default:
        noteNextWrite(Ack, QStringLiteral("Else") + ControlCharsToNames(record));
        break;
    }
}

void IndikoDriver::ParseIndikoHeader(const QString& record)
{
    m_header = record;
    m_sample.IndMeasTime = Indiko::ParseIndikoHeader(record);
    if (!m_sample.IndMeasTime.isValid())
        monitor(
            QStringLiteral("header without a message time (field 13): its results take the time of receipt"));
}

void IndikoDriver::ParseIndikoQuery(const QString& record)
{
    QElapsedTimer arrived;
    arrived.start();
    const Indiko::IndikoQuery query = Indiko::ParseIndikoQuery(record);
    m_queryTests = query.tests;
    if (m_queries.size() + m_messageQueries.size() >= Indiko::MaxQueries) {
        monitor(QStringLiteral("more than %1 queries in one batch: the query for \"%2\" is not answered")
                    .arg(Indiko::MaxQueries)
                    .arg(query.sampleId));
        return;
    }
    const bool multi = m_settings.IndikoRequest.compare(QLatin1String("MULTI"), Qt::CaseInsensitive) == 0;
    const QStringList orders =
        multi ? BuildOrderRecordsMulti(query.sampleId) : BuildOrderRecord(query.sampleId);
    if (orders.isEmpty())
        return; // the database could not be read: reported
    const QString patient = BuildPatientRecord(query.sampleId);
    if (patient.isEmpty())
        return;
    m_messageQueries.append({patient, orders, arrived});
}

QString IndikoDriver::BuildPatientRecord(const QString& id)
{
    IndikoQueries queries(m_db, m_settings.AnalyzerId, m_settings.ControlMask);
    const IndikoQueries::Names names = queries.namesFor(id);
    if (!names.error.isEmpty()) {
        monitor(QStringLiteral("query for \"%1\" not answered: the names could not be read: %2")
                    .arg(id, names.error));
        return {};
    }
    return Indiko::IndikoPatientRecord(names.surname, names.forename);
}

QStringList IndikoDriver::orderRecords(const QString& id, bool multi)
{
    Indiko::IndikoOrderRequest request;
    request.sampleId = id;
    request.allTests = m_queryTests.compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0;
    if (request.allTests) {
        IndikoQueries queries(m_db, m_settings.AnalyzerId, m_settings.ControlMask);
        IndikoQueries::Tests tests = queries.testsFor(id);
        if (!tests.error.isEmpty()) {
            monitor(QStringLiteral("query for \"%1\" not answered: the orders could not be read: %2")
                        .arg(id, tests.error));
            return {};
        }
        if (tests.codes.size() > Indiko::MaxTests) {
            monitor(QStringLiteral("query for \"%1\": %2 tests, more than %3: the first %3 are ordered")
                        .arg(id)
                        .arg(tests.codes.size())
                        .arg(Indiko::MaxTests));
            tests.codes = tests.codes.first(Indiko::MaxTests);
        }
        request.tests = tests.codes;
        request.specimenCode = tests.specimenCode;
    } else {
        request.specimenCode = QStringLiteral("3");
    }
    return Indiko::IndikoOrderRecords(request, multi);
}

QStringList IndikoDriver::BuildOrderRecord(const QString& id)
{
    return orderRecords(id, false);
}

QStringList IndikoDriver::BuildOrderRecordsMulti(const QString& id)
{
    return orderRecords(id, true);
}

void IndikoDriver::ParseIndikoOrder(const QString& record)
{
    const Indiko::IndikoOrder order = Indiko::ParseIndikoOrder(record);
    m_sample.IndSampleId = order.sampleId;
    m_sample.IndSampleDisc = order.disc;
    m_sample.IndSamplePos = order.position;
    m_order = record;
}

void IndikoDriver::ParseIndikoResult(const QString& record)
{
    const Indiko::IndikoResult result = Indiko::ParseIndikoResult(record);
    m_sample.IndResult = result.value;
    // Memory stays bounded: a message can hold the tests of every query of a batch, not more.
    if (m_messageTooLong)
        return;
    if (m_messageResults.size() >= Indiko::MaxMessageResults) {
        m_messageTooLong = true;
        m_messageResults.clear();
        m_commentable = false;
        monitor(QStringLiteral("message with more than %1 results: none stored (they are in the "
                               "communication log)")
                    .arg(Indiko::MaxMessageResults));
        return;
    }
    // The test code is looked up when the result is stored, in the same transaction.
    PendingResult pending;
    IndikoResultRecord& r = pending.record;
    r.sampleId = m_sample.IndSampleId;
    r.disc = m_sample.IndSampleDisc;
    r.position = m_sample.IndSamplePos;
    r.testCode = result.testCode;
    r.value = result.value;
    r.control = MatchesMask(r.sampleId.trimmed(), m_settings.ControlMask);
    pending.measured = m_sample.IndMeasTime.isValid() ? m_sample.IndMeasTime : m_clock.now();
    pending.received = m_header + Cr + m_order + Cr + record;
    m_messageResults.append(pending);
    m_commentable = true;
}

void IndikoDriver::StoreIndikoComment(const QString& record)
{
    const QString text = Indiko::ParseIndikoComment(record);
    if (!text.isEmpty())
        m_messageDataAlarm = QStringLiteral("!");
    if (!m_commentable) {
        monitor(QStringLiteral("comment without a result before it: not stored"));
        return;
    }
    // A control's comment goes to its control result, a sample's to its request and raw result.
    PendingResult& target = m_messageResults.last();
    target.record.comments.append({m_messageDataAlarm, text.left(50)});
    target.received += Cr + record;
}

void IndikoDriver::messageComplete()
{
    m_queries += std::exchange(m_messageQueries, {});
    const QList<PendingResult> results = std::exchange(m_messageResults, {});
    m_messageRecords = 0;
    m_messageTooLong = false;
    m_dataAlarm = m_messageDataAlarm;
    for (const PendingResult& pending : results) {
        StoreJob job = m_store.newJob(m_resultKind, pending.record, ReceivedFrame{pending.received});
        job.stamp = SqlStamp(pending.measured);
        m_store.submit(job);
    }
}

void IndikoDriver::discardIncomplete()
{
    const qsizetype records = std::exchange(m_messageRecords, 0);
    m_messageQueries.clear();
    m_messageResults.clear();
    m_messageTooLong = false;
    m_messageDataAlarm = m_dataAlarm;
    m_commentable = false;
    m_delimiters = {};
    if (records == 0)
        return;
    m_sample.IndMeasTime = {};
    monitor(
        QStringLiteral("message ended without its terminator record (L): %1 records discarded").arg(records));
}

void IndikoDriver::messageAborted()
{
    discardIncomplete();
}

void IndikoDriver::messageEnded()
{
    discardIncomplete();
    if (m_batch == Batch::Request)
        answerQueries();
    else if (m_batch == Batch::Result)
        ResetIndikoBatch();
}

// --- sending -----------------------------------------------------------------------------------

void IndikoDriver::answerQueries()
{
    // One message per query; the link bids for the first and, after each EOT, at once for the next.
    const QList<Query> queries = std::exchange(m_queries, {});
    if (!queries.isEmpty())
        noteNextWrite(Enq, QStringLiteral("ReqOutput"));
    for (const Query& query : queries) {
        QStringList records{Indiko::IndikoHeaderRecord(m_clock.now()), query.patient};
        records += query.orders;
        records << Indiko::IndikoTerminatorRecord();
        m_session.send(records, AnswerTag);
        m_replies.queued(query.arrived);
    }
    if (queries.isEmpty() && m_session.pendingMessages() == 0)
        ResetIndikoBatch();
}

void IndikoDriver::SendCancelMessage()
{
    const QString id = m_sample.IndSampleId;
    const QString patient = BuildPatientRecord(id);
    if (patient.isEmpty())
        return;
    m_session.send({Indiko::IndikoHeaderRecord(m_clock.now()), patient, Indiko::IndikoCancelOrderRecord(id),
                    Indiko::IndikoTerminatorRecord()},
                   CancelTag);
}

void IndikoDriver::sendCompleted(int tag)
{
    if (tag == AnswerTag)
        m_replies.delivered();
    messageDone(tag, true);
}

void IndikoDriver::sendFailed(int tag, const QString& why)
{
    if (tag == AnswerTag)
        m_replies.failed();
    monitor(why);
    messageDone(tag, false);
}

void IndikoDriver::messageDone(int tag, bool delivered)
{
    m_sendFailed = m_sendFailed || !delivered;
    if (tag == CancelTag && delivered)
        monitor(QStringLiteral("Cancel request message sent"));
    if (m_session.pendingMessages() > 0)
        return;
    if (!std::exchange(m_sendFailed, false))
        monitor(QStringLiteral("All requests sent"));
    ResetIndikoBatch();
}

void IndikoDriver::ResetIndikoBatch()
{
    m_batch = Batch::None;
    m_queries.clear();
    m_queryTests.clear();
    m_sample.IndSampleId.clear();
    m_sample.IndSampleDisc.clear();
    m_sample.IndSamplePos.clear();
    m_sample.IndParameterId = 0;
    m_sample.IndResult.clear();
    m_dataAlarm.clear();
    m_messageDataAlarm.clear();
    m_order.clear();
}

} // namespace Quorlix
