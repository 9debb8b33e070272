#include "AuDriver.h"

#include "AuLog.h"
#include "AuOrder.h"
#include "AuReceivedJob.h"
#include "PendingCalibrations.h"
#include "comm/Line.h"
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "core/Timer.h"
#include "store/Store.h"

namespace Quorlix {

namespace {

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The codes the host serves itself when a LIMS side is configured; everything else but "DA" and
// the order requests of controls goes to the LIMS.
bool IsServedResultCode(const QString& code)
{
    for (const char* served : {"D ", "DH", "d ", "dH"})
        if (code == QLatin1String(served))
            return true;
    return false;
}

// The AU600's pause from the `au600pause` setting: whole milliseconds from 0 to the longest pause.
int Au600PauseMs(const QString& setting, QString* problem)
{
    if (setting.trimmed().isEmpty())
        return AuDriver::PauseBeforeSendMs;
    bool ok = false;
    const int ms = setting.trimmed().toInt(&ok);
    if (ok && ms >= 0 && ms <= AuDriver::LongestPauseMs)
        return ms;
    *problem = QStringLiteral("au600pause=%1 is not a pause in milliseconds from 0 to %2: %3 ms are used")
                   .arg(setting)
                   .arg(AuDriver::LongestPauseMs)
                   .arg(AuDriver::PauseBeforeSendMs);
    return AuDriver::PauseBeforeSendMs;
}

// A minute after the standards of the last "DA" frame would have stopped waiting.
constexpr int LookAtStandardsMs = int(PendingCalibrations::StaleMinutes + 1) * 60 * 1000;

} // namespace

AuDriver::AuDriver(const DriverServices& services, AuModel model, bool withLims)
    : m_settings(services.settings), m_log(services.log), m_store(services.store),
      m_receivedKind(services.store.kinds().require<AuReceivedJobKind>()), m_line(services.analyzerLine),
      m_limsLine(services.limsLine), m_model(model), m_withLims(withLims),
      m_queries(services.db, services.settings.AnalyzerId), m_replyTime(services.stats),
      m_lookAtStandards(services.timers.create(true, [this] { submitStandards({}, {}); }))
{
    SetAuStoreRules(services.store.kinds());
    if (model == AuModel::Au600) {
        QString problem;
        m_pauseMs = Au600PauseMs(m_settings.Au600Pause, &problem);
        if (!problem.isEmpty())
            monitor(problem);
    }
    // Standards may wait from before a restart.
    m_lookAtStandards->start(LookAtStandardsMs);
}

void AuDriver::monitor(const QString& text)
{
    m_log.monitor(text);
}

void AuDriver::receive(const QString& received)
{
    const AuRelayBuffer::Output out = m_buffer.append(received);
    for (const QString& problem : out.problems)
        monitor(problem);
    for (const QString& unit : out.forward) {
        if (unit == QString(Ack)) {
            // The analyzer acknowledging a frame it was sent: nothing to answer.
            m_log.logall(unit, Direction::AnalyzerToHost);
            continue;
        }
        frame(unit);
    }
}

void AuDriver::frame(const QString& text)
{
    m_log.logall(text, Direction::AnalyzerToHost);
    const AuFrame f = m_model == AuModel::Au680 ? ParseAu680Frame(text) : ParseAuFrame(text);
    qCDebug(lcAu) << "frame" << f.code << "content" << int(f.content) << "results" << f.resultCount;
    for (const QString& problem : f.problems)
        monitor(problem);
    if (m_withLims)
        handleWithLims(text, f);
    else
        handle(text, f);
}

void AuDriver::handle(const QString& text, const AuFrame& f)
{
    if (!f.rejected) {
        switch (f.content) {
        case AuFrame::Content::Results:
            // The AU600 acknowledges "DQ" frames only.
            if (m_model != AuModel::Au600 || f.code != QLatin1String("DQ"))
                storeResults(text, f);
            break;
        case AuFrame::Content::Calibration:
            storeCalibration(text, f);
            break;
        case AuFrame::Content::OrderRequest:
            m_replyTime.requestReceived();
            AuSendOrderReply(f);
            m_replyTime.answered();
            return;
        case AuFrame::Content::Other:
            break;
        }
    }
    AuSendToAnalyzer(QString(Ack));
}

void AuDriver::handleWithLims(const QString& text, const AuFrame& f)
{
    if (IsServedResultCode(f.code)) {
        AuSendToAnalyzer(QString(Ack));
        if (f.rejected)
            return;
        // A control's result goes to the LIMS as well, named; a patient's stays here.
        storeResults(text, f, isControl(f));
        return;
    }
    if (f.content == AuFrame::Content::Calibration) {
        AuSendToAnalyzer(QString(Ack));
        if (!f.rejected)
            storeCalibration(text, f);
        return;
    }
    const bool orderRequest = f.content == AuFrame::Content::OrderRequest && !f.rejected;
    if (orderRequest)
        m_replyTime.requestReceived();
    if (orderRequest && isControl(f)) {
        AuSendOrderReply(f);
        m_replyTime.answered();
        return;
    }
    // The LIMS answers the analyzer: its ACK and order frame come back through the relay.
    AuRelayToLims(text);
}

void AuDriver::AuSendToAnalyzer(const QString& text)
{
    m_line.pause(m_pauseMs);
    m_line.send(text, Direction::HostToAnalyzer);
}

void AuDriver::AuSendOrderReply(const AuFrame& f)
{
    // The ACK and its pause are queued before the database is asked: the query runs during the
    // pause, and the order goes out when it is due, not a query later.
    AuSendToAnalyzer(QString(Ack));
    AuSendToAnalyzer(orderReply(f));
}

void AuDriver::AuRelayToLims(const QString& text)
{
    m_limsLine.send(text, Direction::HostToLims);
}

bool AuDriver::isControl(const AuFrame& f) const
{
    return IsAuControlId(f.id.sampleId, m_settings.ControlMask);
}

QString AuDriver::orderReply(const AuFrame& f)
{
    QList<int> channels;
    if (const DbOutcome o = m_queries.orderChannels(f.id.sampleId, isControl(f), &channels); !o.ok())
        monitor(QStringLiteral("orders of %1 could not be read (%2): the analyzer is sent no tests")
                    .arg(Quoted(f.id.sampleId.trimmed()), o.error));
    QStringList problems;
    const QString order = BuildAuOrder(f.code, f.id, channels, problems);
    for (const QString& problem : std::as_const(problems))
        monitor(problem);
    return Stx + order + Etx;
}

void AuDriver::storeResults(const QString& text, const AuFrame& f, bool relayToLims)
{
    AuReceived received;
    received.target = isControl(f) ? AuReceived::Target::Control : AuReceived::Target::Sample;
    received.model = m_model;
    received.sample.SampleId = f.id.sampleId;
    received.sample.SampleDisc = f.id.rackNo;
    received.sample.SamplePos = f.id.cupPos;
    received.sample.ResultCount = f.resultCount;
    received.sample.Results = f.results;
    if (relayToLims)
        received.limsRelay = text;
    // Nothing in an AU frame tells two runs of a sample apart: the same frame is a resend only
    // within minutes.
    m_store.submit(m_store.newJob(m_receivedKind, received, ReceivedFrame{text, false}));
}

void AuDriver::storeCalibration(const QString& text, const AuFrame& f)
{
    if (!f.calibration.isEmpty())
        submitStandards(f.calibration, ReceivedFrame{text, false});
}

void AuDriver::submitStandards(const QList<AuCalibrationEntry>& standards, const ReceivedFrame& received)
{
    AuReceived record;
    record.target = AuReceived::Target::Standards;
    record.model = m_model;
    record.standards = standards;
    m_store.submit(m_store.newJob(m_receivedKind, record, received));
    // A calibration left incomplete is over once no standard has come for a while.
    if (!standards.isEmpty())
        m_lookAtStandards->start(LookAtStandardsMs);
}

} // namespace Quorlix
