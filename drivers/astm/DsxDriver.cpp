#include "DsxDriver.h"

#include "DsxMessage.h"
#include "DsxStore.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
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

} // namespace

DsxDriver::DsxDriver(const DriverServices& services)
    : m_settings(services.settings), m_db(services.db), m_log(services.log), m_store(services.store),
      m_kind(services.store.kinds().require<DsxJobKind>()),
      m_session(services.analyzerLine, services.log, services.timers, DsxLinkOptions(), 0, *this)
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
    // This analyzer's test code of each parameter.
    QHash<int, QString> codes;
    SqlResult mapped = m_db.run(
        QStringLiteral(
            "SELECT parameter_id, testiddsx FROM param2channel WHERE analyzer_id = ? ORDER BY channel_id"),
        {m_settings.AnalyzerId});
    if (!mapped.ok()) {
        monitor(
            QStringLiteral("query not answered: param2channel could not be read: %1").arg(mapped.error()));
        return false;
    }
    while (mapped.next()) {
        const int parameter = mapped.value(0).toInt();
        if (!mapped.value(0).isNull() && !codes.contains(parameter))
            codes.insert(parameter, NullToText(mapped.value(1)));
    }

    // Header and terminator are records of the answer too.
    qsizetype records = 2;
    bool bounded = false;
    QString lastSampleId;
    int patientNumber = 0;
    int orderNumber = 0;
    for (const QString& id : ids) {
        const bool all = id == QLatin1String("ALL");
        SqlResult rows =
            all ? m_db.run(QStringLiteral(
                      "SELECT r.sample_id, r.parameter_id, sb.p_id, sb.si_id, p.surname, p.forename FROM "
                      "request r "
                      "INNER JOIN sample_base sb ON sb.sample_id = r.sample_id "
                      "INNER JOIN patients p ON p.p_id = sb.p_id ORDER BY r.sample_id, r.parameter_id"))
                : m_db.run(QStringLiteral(
                               "SELECT r.sample_id, r.parameter_id, sb.p_id, sb.si_id, p.surname, p.forename "
                               "FROM request r INNER JOIN sample_base sb ON sb.sample_id = r.sample_id "
                               "INNER JOIN patients p ON p.p_id = sb.p_id WHERE r.sample_id = ? "
                               "ORDER BY r.sample_id, r.parameter_id"),
                           {id});
        if (!rows.ok()) {
            monitor(QStringLiteral("query not answered: the requests of \"%1\" could not be read: %2")
                        .arg(id, rows.error()));
            return false;
        }
        while (rows.next()) {
            const QString sampleId = NullToText(rows.value(0));
            const bool newSample = patients.isEmpty() || sampleId != lastSampleId;
            const auto code = codes.constFind(rows.value(1).toInt());
            const bool ordered = code != codes.constEnd() && !rows.value(1).isNull();
            if (records + (newSample ? 1 : 0) + (ordered ? 1 : 0) > Dsx::MaxAnswerRecords) {
                bounded = true;
                break;
            }
            if (newSample) {
                Astm::Patient patient;
                patient.RecordType = QStringLiteral("P");
                patient.SequenceNr = QString::number(++patientNumber);
                patient.PatID1 = NullToText(rows.value(2));
                patient.SampleID = Astm::AstmText(sampleId);
                patient.PatID2 = Astm::AstmText(NullToText(rows.value(3)));
                patient.PatName = Astm::AstmText(NullToText(rows.value(4))) + QLatin1Char('^') +
                                  Astm::AstmText(NullToText(rows.value(5)));
                patients.Add(patient);
                lastSampleId = sampleId;
                orderNumber = 0;
                ++records;
            }
            if (ordered) {
                patients.last().orders.Add({{},
                                            QStringLiteral("O"),
                                            QString::number(++orderNumber),
                                            Astm::AstmText(lastSampleId),
                                            {},
                                            QStringLiteral("^^^") + Astm::AstmText(code.value())});
                ++records;
            }
        }
        if (bounded)
            break;
    }
    if (bounded)
        monitor(QStringLiteral("answer longer than %1 records: the rest of the requests is not sent")
                    .arg(Dsx::MaxAnswerRecords));
    return true;
}

void DsxDriver::sendCompleted(int) {}

void DsxDriver::sendFailed(int, const QString& why)
{
    monitor(why);
}

} // namespace Quorlix
