#include "DsxDriver.h"

#include "DsxMessage.h"
#include "DsxQueries.h"
#include "DsxStore.h"
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "store/Store.h"

#include <QHash>

namespace Quorlix {

namespace {

E1381Link::Options DsxLinkOptions()
{
    E1381Link::Options options;
    options.chainedMessage = true;
    options.maxPendingRecords = Dsx::MaxAnswerRecords;
    return options;
}

// Lays the requests out as the answer's P and O records: a patient per sample, an order per request
// with a test code of this analyzer, as many as one message may hold.
class DsxAnswer
{
public:
    DsxAnswer(const QHash<int, QString>& codes, Astm::Patients& patients)
        : m_codes(codes), m_patients(patients)
    {
    }

    // False once the answer is full: the request is left out.
    bool add(const DsxQueries::Request& request)
    {
        const bool newSample = m_patients.isEmpty() || request.sampleId != m_lastSampleId;
        const auto code = request.parameterId ? m_codes.constFind(*request.parameterId) : m_codes.constEnd();
        const bool ordered = code != m_codes.constEnd();
        if (m_records + (newSample ? 1 : 0) + (ordered ? 1 : 0) > Dsx::MaxAnswerRecords) {
            m_full = true;
            return false;
        }
        if (newSample) {
            Astm::Patient patient;
            patient.RecordType = QStringLiteral("P");
            patient.SequenceNr = QString::number(++m_patientNumber);
            patient.PatID1 = request.patientId;
            patient.SampleID = Astm::AstmText(request.sampleId);
            patient.PatID2 = Astm::AstmText(request.siId);
            patient.PatName =
                Astm::AstmText(request.surname) + QLatin1Char('^') + Astm::AstmText(request.forename);
            m_patients.Add(patient);
            m_lastSampleId = request.sampleId;
            m_orderNumber = 0;
            ++m_records;
        }
        if (ordered) {
            m_patients.last().orders.Add({{},
                                          QStringLiteral("O"),
                                          QString::number(++m_orderNumber),
                                          Astm::AstmText(m_lastSampleId),
                                          {},
                                          QStringLiteral("^^^") + Astm::AstmText(code.value())});
            ++m_records;
        }
        return true;
    }

    bool full() const { return m_full; }

private:
    const QHash<int, QString>& m_codes;
    Astm::Patients& m_patients;
    qsizetype m_records = 2; // header and terminator are records of the answer too
    bool m_full = false;
    QString m_lastSampleId;
    int m_patientNumber = 0;
    int m_orderNumber = 0;
};

} // namespace

DsxDriver::DsxDriver(const DriverServices& services)
    : m_settings(services.settings), m_queries(services.db, services.settings.AnalyzerId),
      m_log(services.log), m_store(services.store), m_kind(services.store.kinds().require<DsxJobKind>()),
      m_session(services.analyzerLine, services.log, services.timers, DsxLinkOptions(), 0, *this),
      m_replies(services.stats)
{
}

DsxDriver::~DsxDriver() = default;

void DsxDriver::monitor(const QString& text)
{
    m_log.monitor(text);
}

void DsxDriver::receive(const QString& text)
{
    m_session.receive(text);
}

void DsxDriver::received(const QString& text)
{
    m_log.logall(text, Direction::AnalyzerToHost);
}

void DsxDriver::record(const QString& record)
{
    if (!m_tooLong && m_characters + record.size() > MaxMessageCharacters) {
        monitor(QStringLiteral("message longer than %1 characters: not used").arg(MaxMessageCharacters));
        m_tooLong = true;
        m_records.clear();
    }
    if (!m_tooLong) {
        m_records << record;
        m_characters += record.size() + 1;
    }
    // The terminator ends the message: it is handled before its frame is acknowledged.
    if (record.startsWith(QLatin1Char('L')))
        handleMessage();
}

// A message that ends before its terminator was given up by the DSX (six NAKs on one frame) or
// stopped arriving: it is not received, and the DSX sends it again whole. Storing its part would
// fill the orders that the complete message then finds filled.
void DsxDriver::messageEnded()
{
    discardIncomplete();
}

void DsxDriver::messageAborted()
{
    discardIncomplete();
}

void DsxDriver::discardIncomplete()
{
    const qsizetype records = m_records.size();
    m_records.clear();
    m_characters = 0;
    m_tooLong = false;
    if (records > 0)
        monitor(QStringLiteral("message ended without its terminator record (L): %1 records discarded")
                    .arg(records));
}

void DsxDriver::handleMessage()
{
    QElapsedTimer arrived; // the terminator record completed the message
    arrived.start();
    const QString text = m_records.join(Cr);
    m_records.clear();
    m_characters = 0;
    if (std::exchange(m_tooLong, false))
        return;
    const Dsx::DsxMessage message = Dsx::ParseDsxMessage(text);
    for (const QString& problem : message.problems)
        monitor(problem);

    if (message.kind == QLatin1String("Q")) {
        if (message.refusedQueryIds > 0)
            monitor(QStringLiteral("more than %1 sample ids in one query: %2 not answered")
                        .arg(Dsx::MaxQueryIds)
                        .arg(message.refusedQueryIds));
        Astm::Patients patients;
        if (!CollectDsxAnswer(message.queryIds, patients))
            return;
        // Sent after the DSX's EOT, when the host bids for the line.
        m_session.send(
            Dsx::BuildDsxAnswer(patients, message.header, message.terminator, m_settings.ComputerName), 0);
        m_replies.queued(arrived);
    } else if (message.kind == QLatin1String("P")) {
        DsxResults results;
        for (const Astm::Patient& patient : message.patients)
            for (const Astm::Order& order : patient.orders)
                for (const Astm::Result& result : order.results)
                    results.values.append({order.SampleID, result.TestID, result.Result});
        m_store.submit(m_store.newJob(m_kind, results, ReceivedFrame{text}));
    } else if (message.kind == QLatin1String("M")) {
        monitor(QStringLiteral("fehler aufgetreten!"));
    } else if (message.kind == QLatin1String("L")) {
        monitor(QStringLiteral("got empty results!"));
    } else {
        // Its values are only in the communication log: say that nothing of it was used.
        monitor(QStringLiteral("message whose second record is \"%1\" (not P, Q, M or L): not used")
                    .arg(ControlCharsToNames(message.kind)));
    }
}

bool DsxDriver::CollectDsxAnswer(const QStringList& ids, Astm::Patients& patients)
{
    QString error;
    const std::optional<QHash<int, QString>> codes = m_queries.testCodes(&error);
    if (!codes) {
        monitor(QStringLiteral("query not answered: param2channel could not be read: %1").arg(error));
        return false;
    }
    DsxAnswer answer(*codes, patients);
    const auto take = [&answer](const DsxQueries::Request& request) { return answer.add(request); };
    for (const QString& id : ids) {
        if (!m_queries.requests(id, take, &error)) {
            monitor(QStringLiteral("query not answered: the requests of \"%1\" could not be read: %2")
                        .arg(id, error));
            return false;
        }
        if (answer.full())
            break;
    }
    if (answer.full())
        monitor(QStringLiteral("answer longer than %1 records: the rest of the requests is not sent")
                    .arg(Dsx::MaxAnswerRecords));
    return true;
}

// Only answers to queries are sent.
void DsxDriver::sendCompleted(int)
{
    m_replies.delivered();
}

void DsxDriver::sendFailed(int, const QString& why)
{
    m_replies.failed();
    monitor(why);
}

} // namespace Quorlix
