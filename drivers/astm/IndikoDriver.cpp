#include "IndikoDriver.h"

#include "IndikoComment.h"
#include "IndikoOrders.h"
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
      m_store(services.store), m_commentKind(services.store.kinds().require<IndikoCommentJobKind>()),
      m_session(services.analyzerLine, services.log, services.timers, IndikoLinkOptions(), PauseMs, *this),
      m_state(IndikoState::Ind, IndikoStateName)
{
    m_state.onChange = [this](IndikoState from, IndikoState to) {
        if (from == IndikoState::IndReady && (to == IndikoState::IndReq || to == IndikoState::IndResult))
            monitor(QStringLiteral("IND Ready"));
        else if (from == IndikoState::IndReady && to == IndikoState::Ind && m_contended)
            monitor(QStringLiteral("Answer to ENQ #2, back to analyzer_type ") + m_state.name());
    };
}

IndikoDriver::~IndikoDriver() = default;

void IndikoDriver::monitor(const QString& text)
{
    m_log.monitor(text);
}

void IndikoDriver::receive(const QString& text)
{
    m_session.receive(text);
}

void IndikoDriver::linkStepped()
{
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
        if (first == Enq) {
            m_log.logall(text + QStringLiteral(" single inbuff"), Direction::AnalyzerToHost);
        } else if (first == Eot) {
            m_log.logall(text + QStringLiteral("EOT"), Direction::AnalyzerToHost);
            monitor(QStringLiteral(" ACK after EOT suppressed"));
        } else {
            m_log.logall(text, Direction::AnalyzerToHost);
        }
        return;
    }
    if (m_state.is(IndikoState::IndReady) && first == Enq) {
        m_contended = true;
        m_log.logall(text + QStringLiteral("IND Not Ready"), Direction::AnalyzerToHost);
        return;
    }
    m_log.logall(text, Direction::AnalyzerToHost);
    if (first == Nak)
        monitor(QStringLiteral("NAK received"));
}

// --- receiving ---------------------------------------------------------------------------------

void IndikoDriver::record(const QString& record)
{
    const QChar type = record.isEmpty() ? QChar() : record.front();
    switch (type.toLatin1()) {
    case 'H':
        monitor(QStringLiteral("header"));
        ParseIndikoHeader(record);
        break;
    case 'P':
        monitor(QStringLiteral("patinfo"));
        m_target = {};
        break;
    case 'Q':
        monitor(QStringLiteral("SampleRequest"));
        m_batch = Batch::Request;
        ParseIndikoQuery(record);
        break;
    case 'O':
        monitor(QStringLiteral("sampleRecord"));
        ParseIndikoOrder(record);
        break;
    case 'R':
        monitor(QStringLiteral("TestResult"));
        m_batch = Batch::Result;
        ParseIndikoResult(record);
        break;
    case 'C':
        monitor(QStringLiteral("TestComment"));
        StoreIndikoComment(record);
        break;
    case 'L':
        monitor(QStringLiteral("Terminator"));
        m_sample.IndMeasTime = {};
        m_target = {};
        break;
    default:
        monitor(QStringLiteral("Else") + ControlCharsToNames(record));
        break;
    }
}

void IndikoDriver::ParseIndikoHeader(const QString& record)
{
    m_header = record;
    m_target = {};
    m_sample.IndMeasTime = Indiko::ParseIndikoHeader(record);
    if (!m_sample.IndMeasTime.isValid())
        monitor(
            QStringLiteral("header without a message time (field 13): its results take the time of receipt"));
}

void IndikoDriver::ParseIndikoQuery(const QString& record)
{
    const Indiko::IndikoQuery query = Indiko::ParseIndikoQuery(record);
    m_queryTests = query.tests;
    if (m_requestCount >= Indiko::MaxQueries) {
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
    ++m_requestCount;
    m_queries.append({patient, orders});
}

QString IndikoDriver::BuildPatientRecord(const QString& id)
{
    IndikoOrders source(m_db, m_settings.AnalyzerId, m_settings.ControlMask);
    const IndikoOrders::Names names = source.namesFor(id);
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
        IndikoOrders source(m_db, m_settings.AnalyzerId, m_settings.ControlMask);
        IndikoOrders::Tests tests = source.testsFor(id);
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
    m_target = {};
}

std::optional<qint16> IndikoDriver::parameterOf(const QString& testCode)
{
    SqlResult row = m_db.run(
        QStringLiteral("SELECT parameter_id FROM param2channel WHERE testiddsx = ? AND analyzer_id = ?"),
        {testCode, m_settings.AnalyzerId});
    if (row.ok()) {
        if (row.next() && !row.value(0).isNull()) {
            const qint16 parameter = static_cast<qint16>(row.value(0).toInt());
            m_knownParameters.insert(testCode, parameter);
            return parameter;
        }
        m_knownParameters.remove(testCode);
        return std::nullopt;
    }
    // Without the database the store keeps what it gets until the database is back.
    monitor(QStringLiteral("param2channel could not be read (%1): the parameter read before is used")
                .arg(row.error()));
    const auto known = m_knownParameters.constFind(testCode);
    return known == m_knownParameters.constEnd() ? std::nullopt : std::optional<qint16>(known.value());
}

void IndikoDriver::ParseIndikoResult(const QString& record)
{
    m_target = {};
    const Indiko::IndikoResult result = Indiko::ParseIndikoResult(record);
    m_sample.IndResult = result.value;
    const std::optional<qint16> parameter = parameterOf(result.testCode);
    if (!parameter) {
        // Never under the parameter of another record.
        monitor(QStringLiteral("Received unknown parameter: ") + result.testCode);
        return;
    }
    m_sample.IndParameterId = *parameter;

    SampleRecord sample = m_sample;
    if (!sample.IndMeasTime.isValid())
        sample.IndMeasTime = m_clock.now();
    const ReceivedFrame frame{m_header + Cr + m_order + Cr + record};
    const bool control = MatchesMask(sample.IndSampleId.trimmed(), m_settings.ControlMask);
    if (control)
        m_store.StoreControlResult(sample, {}, frame);
    else
        m_store.StoreSampleResult(sample, {}, frame);
    m_result = record;
    m_target = {true, sample.IndSampleId.trimmed(), sample.IndParameterId, sample.IndMeasTime, control};
}

void IndikoDriver::StoreIndikoComment(const QString& record)
{
    const QString text = Indiko::ParseIndikoComment(record);
    if (!text.isEmpty())
        m_dataAlarm = QStringLiteral("!");
    m_commentText = text.left(50);
    if (!m_target.valid) {
        monitor(QStringLiteral("comment without a stored result before it: not stored"));
        return;
    }
    // A control's comment goes to its control result, a sample's to its request and raw result.
    IndikoComment comment{m_target.sampleId, m_target.parameterId, m_dataAlarm, m_commentText,
                          m_target.control};
    StoreJob job = m_store.newJob(m_commentKind, comment,
                                  ReceivedFrame{m_header + Cr + m_order + Cr + m_result + Cr + record});
    job.stamp = SqlStamp(m_target.stamp);
    m_store.submit(job);
}

void IndikoDriver::messageEnded()
{
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
    for (const Query& query : queries) {
        QStringList records{Indiko::IndikoHeaderRecord(m_clock.now()), query.patient};
        records += query.orders;
        records << Indiko::IndikoTerminatorRecord();
        m_session.send(records, AnswerTag);
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
    messageDone(tag, true);
}

void IndikoDriver::sendFailed(int tag, const QString& why)
{
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
    m_requestCount = 0;
    m_queries.clear();
    m_queryTests.clear();
    m_sample.IndSampleId.clear();
    m_sample.IndSampleDisc.clear();
    m_sample.IndSamplePos.clear();
    m_sample.IndParameterId = 0;
    m_sample.IndResult.clear();
    m_dataAlarm.clear();
    m_commentText.clear();
    m_order.clear();
    m_result.clear();
    m_target = {};
}

} // namespace Quorlix
