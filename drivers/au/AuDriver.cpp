#include "AuDriver.h"

#include "AuOrder.h"
#include "AuReceivedJob.h"
#include "comm/Line.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "store/Store.h"

#include <QLoggingCategory>

namespace Quorlix {

Q_LOGGING_CATEGORY(lcAu, "quorlix.au", QtInfoMsg)

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

} // namespace

AuDriver::AuDriver(const DriverServices& services, AuModel model, bool withLims)
    : m_settings(services.settings), m_log(services.log), m_clock(services.clock), m_store(services.store),
      m_receivedKind(services.store.kinds().require<AuReceivedJobKind>()), m_line(services.analyzerLine),
      m_limsLine(services.limsLine), m_model(model), m_withLims(withLims),
      m_queries(services.db, services.settings.AnalyzerId)
{
    if (model == AuModel::Au600) {
        QString problem;
        m_pauseMs = Au600PauseMs(m_settings.Au600Pause, &problem);
        if (!problem.isEmpty())
            monitor(problem);
    }
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
    QString reply;
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
            reply = orderReply(f);
            break;
        case AuFrame::Content::Other:
            break;
        }
    }
    AuSendToAnalyzer(QString(Ack), reply);
}

void AuDriver::handleWithLims(const QString& text, const AuFrame& f)
{
    if (IsServedResultCode(f.code)) {
        AuSendToAnalyzer(QString(Ack), {});
        if (f.rejected)
            return;
        // A control's result goes to the LIMS as well, named; a patient's stays here.
        if (isControl(f))
            AuRelayToLims(BuildAuControlFrame(text, controlName(f.id.sampleId)));
        storeResults(text, f);
        return;
    }
    if (f.content == AuFrame::Content::Calibration) {
        AuSendToAnalyzer(QString(Ack), {});
        if (!f.rejected)
            storeCalibration(text, f);
        return;
    }
    if (f.content == AuFrame::Content::OrderRequest && !f.rejected && isControl(f)) {
        AuSendToAnalyzer(QString(Ack), orderReply(f));
        return;
    }
    // The LIMS answers the analyzer: its ACK and order frame come back through the relay.
    AuRelayToLims(text);
}

void AuDriver::AuSendToAnalyzer(const QString& ack, const QString& reply)
{
    for (const QString& text : {ack, reply}) {
        if (text.isEmpty())
            continue;
        m_line.pause(m_pauseMs);
        m_line.send(text, Direction::HostToAnalyzer);
    }
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

QString AuDriver::controlName(const QString& sampleId)
{
    QString name;
    const QString id = WithoutBlanks(sampleId);
    if (const DbOutcome o = m_queries.controlName(id, &name); !o.ok())
        monitor(QStringLiteral("name of control %1 could not be read (%2): relayed without it")
                    .arg(Quoted(id), o.error));
    return name;
}

void AuDriver::storeResults(const QString& text, const AuFrame& f)
{
    AuReceived received;
    received.target = isControl(f) ? AuReceived::Target::Control : AuReceived::Target::Sample;
    received.model = m_model;
    received.sample.AuSampleId = f.id.sampleId;
    received.sample.AuRackNo = f.id.rackNo;
    received.sample.AuCupPos = f.id.cupPos;
    received.sample.ResultCount = f.resultCount;
    received.sample.Results = f.results;
    // Nothing in an AU frame tells two runs of a sample apart: the same frame is a resend only
    // within minutes.
    m_store.submit(m_store.newJob(m_receivedKind, received, ReceivedFrame{text, false}));
}

void AuDriver::storeCalibration(const QString& text, const AuFrame& f)
{
    if (f.calibration.isEmpty())
        return;
    for (const QString& problem : m_pending.add(f.calibration, m_clock.now()))
        monitor(problem);

    QList<qint16> channels;
    for (const AuCalibrationEntry& e : f.calibration)
        if (!channels.contains(e.channel))
            channels << e.channel;

    QHash<qint16, qint16> parameters;
    const DbOutcome mapped = m_queries.parameters(&parameters);
    for (const qint16 channel : std::as_const(channels)) {
        // The calibration is complete once the standards its settings name have all arrived.
        // Without settings, or while the database cannot say, the standards received so far go to
        // the store, which maps the channel when it can and shows a count that does not fit.
        std::optional<int> count;
        DbOutcome read = mapped;
        if (mapped.ok()) {
            const auto found = parameters.constFind(channel);
            if (found == parameters.constEnd()) {
                monitor(QStringLiteral("calibration of channel %1: no parameter for the channel in "
                                       "param2channel: %2 standards not stored")
                            .arg(channel)
                            .arg(m_pending.drop(channel)));
                continue;
            }
            read = m_queries.standardCount(found.value(), &count);
        }
        const bool known = read.ok() && count && *count >= 1 && *count <= MaxStandards;
        std::optional<CalibrationRecord> calibration = m_pending.takeComplete(channel, known ? *count : 1);
        if (!calibration)
            continue;
        if (!read.ok())
            monitor(QStringLiteral("calibration of channel %1: its settings could not be read (%2): the %3 "
                                   "standards received so far are stored")
                        .arg(channel)
                        .arg(read.error)
                        .arg(calibration->CalStdCount));
        else if (!known)
            monitor(QStringLiteral("calibration of channel %1: no standard count in calib_base: the %2 "
                                   "standards received so far are stored")
                        .arg(channel)
                        .arg(calibration->CalStdCount));
        AuReceived received;
        received.target = AuReceived::Target::Calibration;
        received.model = m_model;
        received.calibration = *calibration;
        // One frame can complete the calibrations of several channels: each is its own record.
        m_store.submit(
            m_store.newJob(m_receivedKind, received,
                           ReceivedFrame{text + QStringLiteral("#channel %1").arg(channel), false}));
    }
}

} // namespace Quorlix
