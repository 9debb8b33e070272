#include "HitachiDriver.h"

#include "ChannelMap.h"
#include "HitachiLog.h"
#include "HitachiQueries.h"
#include "HitachiReply.h"
#include "OrderSelection.h"
#include "UnmappedFrameJob.h"
#include "comm/Line.h"
#include "comm/LinkState.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "store/ControlStore.h"

namespace Quorlix {

namespace Hitachi {

// How the receive handlers differ from one another.
struct HandlerRules
{
    bool answersClassF = false; // class "F" frames get ">" before anything else, unlogged
    bool relaysToLims = false;  // ">" frames go to the LIMS while it is online
    bool knowsFunction3 = false;
    bool pausesBeforeReply = false;
    QStringList batchClasses;
    QString statBatchClass;
    QString statClass;
    QString statControlLog;
    QString statSampleLog;
    QStringList realtimeClasses;
    QString calibrationClass;
    bool blankIdGetsNoTests = false; // an inquiry without sample id is answered with no tests
    bool logsInquiry = true;         // "spe"
    bool limsAnswersEmptyInquiry = false;
};

} // namespace Hitachi

using namespace Hitachi;

namespace {

const HandlerRules& Hit911Rules()
{
    static const HandlerRules rules = [] {
        HandlerRules r;
        r.batchClasses = {QStringLiteral("b"), QStringLiteral("a")};
        r.statBatchClass = QStringLiteral("g");
        r.statClass = QStringLiteral("G");
        r.statControlLog = QStringLiteral("received STAT Control");
        r.statSampleLog = QStringLiteral("received STAT Sample");
        r.realtimeClasses = {QStringLiteral("B"), QStringLiteral("A")};
        r.calibrationClass = QStringLiteral("M");
        return r;
    }();
    return rules;
}

const HandlerRules& Hit911WithLimsRules()
{
    static const HandlerRules rules = [] {
        HandlerRules r;
        r.answersClassF = true;
        r.relaysToLims = true;
        r.batchClasses = {QStringLiteral("a")};
        r.statClass = QStringLiteral("G");
        r.statControlLog = QStringLiteral("received stat Control");
        r.statSampleLog = QStringLiteral("received stat Sample");
        r.realtimeClasses = {QStringLiteral("A")};
        r.calibrationClass = QStringLiteral("M");
        r.logsInquiry = false;
        return r;
    }();
    return rules;
}

HandlerRules Hit902BaseRules()
{
    HandlerRules r;
    r.answersClassF = true;
    r.batchClasses = {QStringLiteral("a")};
    r.statClass = QStringLiteral("d");
    r.statControlLog = QStringLiteral("received stat Control");
    r.statSampleLog = QStringLiteral("received stat Sample");
    r.realtimeClasses = {QStringLiteral("A")};
    r.calibrationClass = QStringLiteral("G");
    r.blankIdGetsNoTests = true;
    return r;
}

const HandlerRules& Hit902Rules()
{
    static const HandlerRules rules = [] {
        HandlerRules r = Hit902BaseRules();
        r.pausesBeforeReply = true;
        return r;
    }();
    return rules;
}

const HandlerRules& Hit902WithLimsRules()
{
    static const HandlerRules rules = [] {
        HandlerRules r = Hit902BaseRules();
        r.relaysToLims = true;
        r.limsAnswersEmptyInquiry = true;
        return r;
    }();
    return rules;
}

const HandlerRules& Hit912Rules()
{
    static const HandlerRules rules = [] {
        HandlerRules r;
        r.knowsFunction3 = true;
        r.pausesBeforeReply = true;
        r.batchClasses = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        r.statClass = QStringLiteral("D");
        r.statControlLog = QStringLiteral("received STAT Control");
        r.statSampleLog = QStringLiteral("received STAT Sample");
        r.realtimeClasses = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        r.calibrationClass = QStringLiteral("G");
        return r;
    }();
    return rules;
}

} // namespace

HitachiDriver::HitachiDriver(const DriverServices& services, HitachiModel model, bool withLims,
                             int replyPauseMs)
    : m_settings(services.settings), m_db(services.db), m_log(services.log), m_store(services.store),
      m_line(services.analyzerLine), m_limsLine(services.limsLine), m_link(services.link), m_model(model),
      m_withLims(withLims), m_replyPauseMs(replyPauseMs),
      m_queries(services.db, services.settings.AnalyzerId), m_replyTime(services.stats)
{
}

void HitachiDriver::receive(const QString& received)
{
    if (m_withLims) {
        receiveWithLims(received);
        return;
    }
    switch (m_model) {
    case HitachiModel::Hit911:
        handle(Hit911Rules(), received);
        break;
    case HitachiModel::Hit902:
        handle(Hit902Rules(), received);
        break;
    case HitachiModel::Hit912:
        handle(Hit912Rules(), received);
        break;
    }
}

void HitachiDriver::receiveWithLims(const QString& received)
{
    switch (m_model) {
    case HitachiModel::Hit911:
        handle(Hit911WithLimsRules(), received);
        break;
    case HitachiModel::Hit902:
        handle(Hit902WithLimsRules(), received);
        break;
    case HitachiModel::Hit912:
        break; // a 912 with a LIMS side is not served
    }
}

void HitachiDriver::monitor(const QString& text)
{
    m_log.monitor(text);
}

void HitachiDriver::handle(const HandlerRules& rules, const QString& received)
{
    // A piece without the end of a frame already resets the reply: a repeat request that arrives
    // in several pieces repeats ">".
    QString previous = m_reply;
    m_reply = QStringLiteral(">");

    if (const QString dropped = m_buffer.append(received); !dropped.isEmpty())
        monitor(dropped);
    // Every complete frame is answered, in order, however the line cut the pieces: two frames in
    // one piece are two frames.
    bool first = true;
    qsizetype noise = 0;
    while (std::optional<QString> frame = m_buffer.takeFrame(&noise)) {
        if (noise > 0)
            monitor(QStringLiteral("%1 characters received before the frame's STX dropped").arg(noise));
        if (!first) {
            previous = m_reply;
            m_reply = QStringLiteral(">");
        }
        first = false;
        m_frameText = *frame;
        handleFrame(rules, previous);
    }
}

void HitachiDriver::handleFrame(const HandlerRules& rules, const QString& previous)
{
    const QString& frame = m_frameText;
    if (rules.answersClassF && MidOneBased(frame, 3, 1).toUpper() == QLatin1String("F")) {
        sendReply(rules);
        return;
    }
    m_log.logall(frame, Direction::AnalyzerToHost);

    const QString function = MidOneBased(frame, 2, 1);
    if (function == QLatin1String(">")) {
        if (rules.relaysToLims && m_link.limsOnline) {
            // The analyzer's acknowledgement belongs to the LIMS, which sent what it acknowledges.
            m_limsLine.send(QString(Stx) + QLatin1Char('>') + Etx, Direction::HostToLims);
            return;
        }
    } else if (function == QLatin1String("?")) {
        m_reply = previous;
        monitor(QStringLiteral("rep"));
    } else if (function == QLatin1String("@")) {
        monitor(QStringLiteral("sus"));
    } else if (function == QLatin1String("1")) {
        monitor(QStringLiteral("fr1"));
    } else if (function == QLatin1String("2")) {
        monitor(QStringLiteral("fr2"));
    } else if (function == QLatin1String("3") && rules.knowsFunction3) {
        monitor(QStringLiteral("fr3"));
    } else if (function == QLatin1String("<")) {
        monitor(QStringLiteral("res"));
    } else if (function == QLatin1String(":")) {
        results(rules);
    } else if (function == QLatin1String(";")) {
        m_replyTime.requestReceived();
        // The pause runs while the database is asked: the reply goes out when it is due, not a
        // query later. (The 902 behind a LIMS has no pause of its own here.)
        if (rules.pausesBeforeReply)
            PauseBeforeReply();
        if (!inquiry(rules))
            return;
        writeReply();
        m_replyTime.answered();
        return;
    }
    sendReply(rules);
}

void HitachiDriver::PauseBeforeReply()
{
    m_line.pause(m_replyPauseMs);
}

void HitachiDriver::sendReply(const HandlerRules& rules)
{
    if (rules.pausesBeforeReply)
        PauseBeforeReply();
    writeReply();
}

void HitachiDriver::writeReply()
{
    m_line.send(Stx + m_reply + Etx, Direction::HostToAnalyzer);
}

HitachiFrame HitachiDriver::capture() const
{
    HitachiFrame f;
    f.record = m_frame;
    f.sampleId = m_sample.SampleId;
    f.sampleDisc = m_sample.SampleDisc;
    f.samplePos = m_sample.SamplePos;
    f.resultCount = m_sample.ResultCount;
    f.results = m_sample.Results;
    f.calibration = m_calibration;
    return f;
}

void HitachiDriver::commit(const HitachiFrame& f)
{
    m_frame = f.record;
    m_sample.SampleId = f.sampleId;
    m_sample.SampleDisc = f.sampleDisc;
    m_sample.SamplePos = f.samplePos;
    m_sample.ResultCount = f.resultCount;
    m_sample.Results = f.results;
    m_calibration = f.calibration;
}

void HitachiDriver::parse(const QString& text, HitachiFrame& frame) const
{
    switch (m_model) {
    case HitachiModel::Hit911:
        ParseHit911Frame(text, frame);
        break;
    case HitachiModel::Hit902:
        ParseHit902Frame(text, frame);
        break;
    case HitachiModel::Hit912:
        ParseHit912Frame(text, frame);
        break;
    }
}

void HitachiDriver::results(const HandlerRules& rules)
{
    HitachiFrame f = capture();
    parse(m_frameText, f);
    for (const QString& problem : std::as_const(f.problems))
        monitor(problem);
    if (f.rejected)
        return; // answered ">"
    commit(f);

    // The handlers tell the classes apart by case; the parsers read them in either case.
    const QString frameClass = m_frame.CurFrameClass;
    const bool isResults = f.content == HitachiFrame::Content::Results;
    if (frameClass.isEmpty()) {
        return;
    } else if (isResults && rules.batchClasses.contains(frameClass)) {
        storeResult(QStringLiteral("received control : batchmode"),
                    QStringLiteral("received sample : batchmode"));
    } else if (isResults && frameClass == rules.statBatchClass) {
        storeResult(QStringLiteral("received STAT Control : batchmode"),
                    QStringLiteral("received STAT Sample : batchmode"));
    } else if (isResults && frameClass == rules.statClass) {
        storeResult(rules.statControlLog, rules.statSampleLog);
    } else if (isResults && rules.realtimeClasses.contains(frameClass)) {
        storeResult(QStringLiteral("received control : realmode"),
                    QStringLiteral("received sample : realmode"));
        // In real-time mode the analyzer waits for orders after each result: it gets none.
        m_reply = orderReply(m_sample.SampleId, 0);
    } else if (f.content == HitachiFrame::Content::Calibration && frameClass == rules.calibrationClass) {
        storeCalibration();
    }
}

ReceivedFrame HitachiDriver::receivedFrame(bool calibration) const
{
    // A results frame tells two measurements apart by its sequence number or its time; a
    // calibration frame carries neither.
    const QString number = WithoutBlanks(m_frame.CurNumber);
    const bool numbered = !number.isEmpty() && ReadNumber(number).value != 0;
    const bool timed = !WithoutBlanks(m_frame.CurDate + m_frame.CurTime).isEmpty();
    return {m_frameText, !calibration && (numbered || timed)};
}

void HitachiDriver::storeResult(const QString& controlLog, const QString& sampleLog)
{
    const bool control = MatchesMask(m_sample.SampleId, m_settings.ControlMask);
    // The 911 reads a channel's parameter whatever analyzer it is mapped for; the 902 and 912 only
    // their own mappings.
    const bool ofThisAnalyzer = m_model != HitachiModel::Hit911;
    QString error;
    const std::optional<QHash<qint16, qint16>> parameters =
        m_queries.parametersOfChannels(ChannelsOf(m_sample), ofThisAnalyzer, &error);
    if (!parameters) {
        UnmappedFrame frame;
        frame.target = control ? UnmappedFrame::Target::Control : UnmappedFrame::Target::Sample;
        frame.ofThisAnalyzer = ofThisAnalyzer;
        frame.sample = {m_sample, m_frame};
        keepUnmapped(frame, error);
    } else {
        QStringList notes;
        ApplyParameters(m_sample, *parameters, m_sample.SampleId, notes);
        for (const QString& note : std::as_const(notes))
            monitor(note);
        if (control)
            m_store.StoreControlResult(m_sample, m_frame, receivedFrame());
        else
            m_store.StoreSampleResult(m_sample, m_frame, receivedFrame());
    }
    monitor(control ? controlLog : sampleLog);
}

void HitachiDriver::keepUnmapped(const UnmappedFrame& frame, const QString& error)
{
    // The store keeps the frame until the database is back; its channels are mapped then.
    const JobKind& kind = m_store.kinds().require<UnmappedFrameJobKind>();
    const StoreJob job =
        m_store.newJob(kind, frame, receivedFrame(frame.target == UnmappedFrame::Target::Calibration));
    monitor(QStringLiteral("the database is unavailable (%1): %2 is kept and its channels are mapped to "
                           "parameters when the database is back")
                .arg(error, job.describe()));
    m_store.submit(job);
}

void HitachiDriver::storeCalibration()
{
    CalibrationRecord& cal = m_calibration;
    // A calibration names the channel of any analyzer: the lookup is not limited to this one.
    QString error;
    const std::optional<QHash<qint16, qint16>> found =
        m_queries.parametersOfChannels({cal.CalChannel}, false, &error);
    if (!found) {
        UnmappedFrame frame;
        frame.target = UnmappedFrame::Target::Calibration;
        frame.calibration.calibration = cal;
        keepUnmapped(frame, error);
        monitor(QStringLiteral("received calibrator data"));
        return;
    }
    if (!found->contains(cal.CalChannel)) {
        monitor(QStringLiteral("calibration of channel %1: no parameter for the channel in param2channel: "
                               "not stored")
                    .arg(cal.CalChannel));
        return;
    }
    cal.CalParameterId = found->value(cal.CalChannel);
    m_store.StoreCalibration(cal, receivedFrame(true));
    monitor(QStringLiteral("received calibrator data"));
}

bool HitachiDriver::inquiry(const HandlerRules& rules)
{
    HitachiFrame f = capture();
    parse(m_frameText, f);
    for (const QString& problem : std::as_const(f.problems))
        monitor(problem);
    if (f.rejected)
        return true; // answered ">"
    commit(f);

    const QString& id = m_sample.SampleId;
    const int kind = rules.blankIdGetsNoTests && id.trimmed().isEmpty() ? 0 : 1;
    m_reply = orderReply(id, kind);

    if (rules.limsAnswersEmptyInquiry) {
        // Nothing to measure here: the LIMS is asked and its answer goes to the analyzer.
        if (m_reply.isEmpty() || ReadNumber(MidOneBased(m_reply, 44, 37)).value == 0) {
            if (m_settings.OutType == QLatin1String("invH912"))
                ForwardInquiryToLims();
            return false;
        }
    }
    if (rules.logsInquiry)
        monitor(QStringLiteral("spe"));
    return true;
}

QString HitachiDriver::selectionFor(const QString& sampleId, int orderKind)
{
    const OrderQueries queries =
        m_model == HitachiModel::Hit902 ? OrderQueries::Hit902 : OrderQueries::Hit911;
    const OrderSelectionRules selectionRules{m_settings.AnalyzerId, m_settings.ControlMask, queries};
    const QString none(selectionRules.channelCount(), QLatin1Char('0'));
    if (orderKind == 0)
        return none;
    if (orderKind != 1)
        return {};
    OrderSelection selection(m_db, selectionRules);
    const SelectionOutcome outcome = selection.select(sampleId);
    qCDebug(lcHitachi) << "selection for" << sampleId << outcome.selection << outcome.error;
    if (!outcome.ok) {
        monitor(outcome.error + QStringLiteral(": the analyzer is sent no tests for \"%1\"").arg(sampleId));
        return none;
    }
    if (!outcome.error.isEmpty())
        monitor(outcome.error);
    return outcome.selection;
}

Hit912Patient HitachiDriver::patientFor(const QString& sampleId)
{
    const QString id = WithoutBlanks(sampleId);
    QString error;
    Hit912Patient patient;
    if (!m_queries.patient(id, &patient, &error))
        monitor(QStringLiteral("patient of \"%1\" could not be read: %2").arg(id, error));
    if (MatchesMask(sampleId, m_settings.ControlMask)) {
        if (const std::optional<QString> name = m_queries.controlName(id))
            patient.siId = *name;
    }
    return patient;
}

QString HitachiDriver::orderReply(const QString& sampleId, int orderKind)
{
    QString selection = selectionFor(sampleId, orderKind);
    const bool ise = m_settings.IseSetting == QLatin1String("1");
    switch (m_model) {
    case HitachiModel::Hit911:
        return BuildHit911Order(m_frame, m_sample, selection);
    case HitachiModel::Hit902:
        // The ISE channel follows the 37 channels of a real selection.
        if (ise && orderKind == 1)
            selection += QLatin1Char('0');
        return BuildHit902Order(m_frame, m_sample, selection);
    case HitachiModel::Hit912:
        if (ise && (orderKind == 0 || orderKind == 1))
            selection += QLatin1Char('0');
        return BuildHit912Order(m_frame, m_sample, selection, patientFor(sampleId));
    }
    return {};
}

void HitachiDriver::ForwardInquiryToLims()
{
    m_limsLine.send(BuildLimsInquiryFrame(m_frame, m_sample), Direction::HostToLims);
}

} // namespace Quorlix
