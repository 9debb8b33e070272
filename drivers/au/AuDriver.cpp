#include "AuDriver.h"

#include "AuOrder.h"
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
      m_line(services.analyzerLine), m_limsLine(services.limsLine), m_model(model), m_withLims(withLims),
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
    QString error;
    if (!m_queries.orderChannels(f.id.sampleId, isControl(f), &channels, &error))
        monitor(QStringLiteral("orders of %1 could not be read (%2): the analyzer is sent no tests")
                    .arg(Quoted(f.id.sampleId.trimmed()), error));
    QStringList problems;
    const QString order = BuildAuOrder(f.code, f.id, channels, problems);
    for (const QString& problem : std::as_const(problems))
        monitor(problem);
    return Stx + order + Etx;
}

QString AuDriver::controlName(const QString& sampleId)
{
    QString name;
    QString error;
    const QString id = WithoutBlanks(sampleId);
    if (!m_queries.controlName(id, &name, &error))
        monitor(QStringLiteral("name of control %1 could not be read (%2): relayed without it")
                    .arg(Quoted(id), error));
    return name;
}

void AuDriver::storeResults(const QString& text, const AuFrame& f)
{
    SampleRecord sample;
    sample.AuSampleId = f.id.sampleId;
    sample.AuRackNo = f.id.rackNo;
    sample.AuCupPos = f.id.cupPos;
    sample.ResultCount = f.resultCount;
    sample.Results = f.results;
    resolveParameters(sample);
    for (qint16 k = 0; k < sample.ResultCount; ++k)
        checkFlags(sample.AuSampleId.trimmed(), sample.Results[static_cast<size_t>(k)]);
    if (isControl(f))
        m_store.StoreControlResult(sample, {}, ReceivedFrame{text});
    else
        m_store.StoreSampleResult(sample, {}, ReceivedFrame{text});
}

void AuDriver::resolveParameters(SampleRecord& sample)
{
    if (sample.ResultCount == 0)
        return;
    QHash<qint16, qint16> parameters;
    QString error;
    if (m_queries.parameters(&parameters, &error)) {
        m_knownParameters = parameters;
    } else {
        // Without the database the store keeps what it gets until the database is back: hand it
        // the parameters read before rather than dropping the results.
        monitor(QStringLiteral("param2channel could not be read (%1): the parameters read before are used")
                    .arg(error));
        parameters = m_knownParameters;
    }
    qint16 kept = 0;
    for (qint16 k = 0; k < sample.ResultCount; ++k) {
        ResultEntry entry = sample.Results[static_cast<size_t>(k)];
        const auto found = parameters.constFind(entry.Channel);
        if (found == parameters.constEnd()) {
            monitor(
                QStringLiteral("sample %1: no parameter for channel %2 in param2channel: value %3 flags %4 "
                               "not stored")
                    .arg(Quoted(sample.AuSampleId.trimmed()))
                    .arg(entry.Channel)
                    .arg(Quoted(entry.Value), Quoted(entry.DataAlarm)));
            continue;
        }
        entry.ParameterId = found.value();
        sample.Results[static_cast<size_t>(kept++)] = entry;
    }
    sample.ResultCount = kept;
}

void AuDriver::checkFlags(const QString& sampleId, ResultEntry& entry)
{
    QString flags = entry.DataAlarm;
    QString value = entry.Value;
    const qint16 p = entry.ParameterId;
    const auto notChecked = [&](const QString& what, const QString& error) {
        monitor(QStringLiteral("sample %1 channel %2: %3 (%4): value %5 stored as received")
                    .arg(Quoted(sampleId))
                    .arg(entry.Channel)
                    .arg(what, error, Quoted(value)));
    };

    if (WantsAbsorbanceCheck(flags)) {
        // The absorbance left the calibrated range: the value is read against the latest
        // calibration's lowest and highest standard.
        flags = QStringLiteral("!");
        AbsorbanceRule rule = AbsorbanceRule::Au600;
        QString error;
        bool read = true;
        if (m_model != AuModel::Au600) {
            AuQueries::TestDef test;
            read = m_queries.testDef(p, &test, &error);
            rule = test.method.trimmed().toUpper() == QLatin1String("QMS") ? AbsorbanceRule::Qms
                                                                           : AbsorbanceRule::Other;
        }
        std::optional<CalibratedRange> range;
        if (read)
            read = m_queries.latestCalibration(p, &range, &error);
        if (!read)
            notChecked(QStringLiteral("absorbance not checked against the latest calibration"), error);
        else if (range)
            value = ValueAgainstCalibration(value, rule, *range);
    }

    if (m_model != AuModel::Au600) {
        if (HasFlagLetter(flags, QLatin1Char('F'))) {
            // Above the measuring range, for a test the laboratory defined.
            AuQueries::TestDef test;
            QString error;
            if (!m_queries.testDef(p, &test, &error)) {
                notChecked(QStringLiteral("flag F not applied, test_def could not be read"), error);
            } else if (test.found) {
                value = QStringLiteral("99999");
                flags = QStringLiteral("F");
            }
        }
        if (HasFlagLetter(flags, QLatin1Char('G'))) {
            value = QStringLiteral("0");
            flags = QStringLiteral("G");
        }
    }

    entry.Value = value;
    // The flags without blanks; one blank when there are none, as for every analyzer.
    const QString trimmed = flags.trimmed();
    entry.DataAlarm = trimmed.isEmpty() ? QStringLiteral(" ") : trimmed;
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
    QString error;
    if (m_queries.parameters(&parameters, &error)) {
        m_knownParameters = parameters;
    } else {
        monitor(QStringLiteral("param2channel could not be read (%1): the parameters read before are used")
                    .arg(error));
        parameters = m_knownParameters;
    }

    for (const qint16 channel : std::as_const(channels)) {
        const auto found = parameters.constFind(channel);
        if (found == parameters.constEnd()) {
            monitor(
                QStringLiteral("calibration of channel %1: no parameter for the channel in param2channel: "
                               "%2 standards not stored")
                    .arg(channel)
                    .arg(m_pending.drop(channel)));
            continue;
        }
        const qint16 parameter = found.value();
        // The calibration is complete once the standards its settings name have all arrived.
        // Without settings (or while they cannot be read) the standards received so far are
        // stored: the store then shows the mismatch or keeps them as they came.
        std::optional<int> count;
        const bool read = m_queries.standardCount(parameter, &count, &error);
        const bool known = read && count && *count >= 1 && *count <= MaxStandards;
        std::optional<CalibrationRecord> calibration = m_pending.takeComplete(channel, known ? *count : 1);
        if (!calibration)
            continue;
        if (!read)
            monitor(QStringLiteral("calibration of channel %1: calib_base could not be read (%2): the %3 "
                                   "standards received so far are stored")
                        .arg(channel)
                        .arg(error)
                        .arg(calibration->CalStdCount));
        else if (!known)
            monitor(
                QStringLiteral("calibration of channel %1: parameter %2 has no standard count in calib_base: "
                               "the %3 standards received so far are stored")
                    .arg(channel)
                    .arg(parameter)
                    .arg(calibration->CalStdCount));
        calibration->CalParameterId = parameter;
        // One frame can complete the calibrations of several channels: each is its own record.
        m_store.StoreCalibration(*calibration,
                                 ReceivedFrame{text + QStringLiteral("#channel %1").arg(channel)});
    }
}

} // namespace Quorlix
