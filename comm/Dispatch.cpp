#include "Dispatch.h"

#include "LineHandler.h"
#include "core/Clock.h"
#include "core/CommLog.h"

#include <QHash>

namespace Quorlix {

QString AnalyzerEntryFor(const QString& type, bool limsSide)
{
    if (!limsSide) {
        static const QHash<QString, QString> table = {
            {QStringLiteral("H911"), QStringLiteral("Hit911Receive")},
            {QStringLiteral("H902"), QStringLiteral("Hit902Receive")},
            {QStringLiteral("H912"), QStringLiteral("Hit912Receive")},
            {QStringLiteral("DSX"), QStringLiteral("DsxReceive")},
            {QStringLiteral("Mira"), ExternalInput},
            {QStringLiteral("ACT"), QStringLiteral("ActReceive")},
            {QStringLiteral("OAU400"), QStringLiteral("Au400Receive")},
            {QStringLiteral("OAU600"), QStringLiteral("Au600Receive")},
            {QStringLiteral("OAU680"), QStringLiteral("Au680Receive")},
            {QStringLiteral("IND"), QStringLiteral("IndikoReceive")},
            {QStringLiteral("INDREQ"), QStringLiteral("IndikoRequestReceive")},
            {QStringLiteral("INDREADY"), QStringLiteral("IndikoReadyReceive")},
            {QStringLiteral("INDRESULT"), QStringLiteral("IndikoResultReceive")},
        };
        return table.value(type);
    }
    static const QHash<QString, QString> table = {
        {QStringLiteral("H911"), QStringLiteral("Hit911ReceiveWithLims")},
        {QStringLiteral("H902"), QStringLiteral("Hit902ReceiveWithLims")},
        {QStringLiteral("H912"), SilentEntry},
        {QStringLiteral("DSX"), SilentEntry},
        {QStringLiteral("ACT"), SilentEntry},
        {QStringLiteral("IND"), SilentEntry},
        {QStringLiteral("Mira"), ExternalThroughput},
        {QStringLiteral("OAU400"), QStringLiteral("Au400ReceiveWithLims")},
        {QStringLiteral("OAU600"), QStringLiteral("Au600ReceiveWithLims")},
        {QStringLiteral("OAU680"), QStringLiteral("Au680ReceiveWithLims")},
    };
    return table.value(type);
}

QString LimsEntryFor(const QString& outId, const QString& outType)
{
    if (outId == QLatin1String("MGC240"))
        return QStringLiteral("InvMgc240Receive");
    if (outType == QLatin1String("invH911") || outType == QLatin1String("invH902"))
        return ExternalThroughput;
    if (outType == QLatin1String("invH912"))
        return QStringLiteral("InvH912Receive");
    if (outType == QLatin1String("invOAU400"))
        return QStringLiteral("InvAu400Receive");
    if (outType == QLatin1String("invOAU600"))
        return QStringLiteral("InvAu600Receive");
    return {};
}

bool IsExternalEntry(const QString& entry)
{
    return entry == ExternalInput || entry == ExternalThroughput;
}

Dispatcher::Dispatcher(LinkState& link, const Clock& clock, CommLog& log, QObject* parent)
    : QObject(parent), m_link(link), m_clock(clock), m_log(log)
{
}

void Dispatcher::route(const QString& analyzerEntry, LineHandler* analyzer, const QString& limsEntry,
                       LineHandler* lims)
{
    m_analyzerEntry = analyzerEntry;
    m_analyzer = analyzer;
    m_limsEntry = limsEntry;
    m_lims = lims;
}

void Dispatcher::analyzerReceived(const QString& text)
{
    m_link.LastAnalyzerInput = m_clock.now();
    call(m_analyzerEntry, m_analyzer, text, QStringLiteral("analyzer port"));
}

void Dispatcher::limsReceived(const QString& text)
{
    m_link.LastLimsInput = m_clock.now();
    call(m_limsEntry, m_lims, text, QStringLiteral("LIMS port"));
}

void Dispatcher::call(const QString& entry, LineHandler* handler, const QString& text, const QString& port)
{
    if (handler) {
        handler->receive(text);
        return;
    }
    if (!IsExternalEntry(entry))
        return; // no handler: reported once at start-up
    if (m_external) {
        if (entry == ExternalInput)
            m_external->HandleInput(text);
        else
            m_external->HandleThroughput(text);
    } else if (!m_reported.contains(port)) {
        m_reported.insert(port);
        m_log.monitor(
            QStringLiteral("no external handler is installed: input on the %1 is dropped").arg(port));
    }
}

} // namespace Quorlix
