#include "Dispatch.h"

#include "../core/CommLog.h"
#include "../core/Context.h"

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

Dispatcher::Dispatcher(Context& context, QObject* parent) : QObject(parent), m_context(context)
{
    registerEntry(SilentEntry, [](const QString&) {});
}

void Dispatcher::registerEntry(const QString& name, Entry entry)
{
    m_entries.insert(name, std::move(entry));
}

void Dispatcher::analyzerReceived(const QString& text)
{
    m_context.link.LastAnalyzerInput = m_context.now();
    const Settings& s = m_context.settings;
    call(AnalyzerEntryFor(s.AnalyzerType, s.hasLimsSide()), text, QStringLiteral("analyzer port"));
}

void Dispatcher::limsReceived(const QString& text)
{
    m_context.link.LastLimsInput = m_context.now();
    const Settings& s = m_context.settings;
    call(LimsEntryFor(s.OutId, s.OutType), text, QStringLiteral("LIMS port"));
}

void Dispatcher::call(const QString& entry, const QString& text, const QString& port)
{
    if (entry.isEmpty())
        return;
    if (entry == ExternalInput || entry == ExternalThroughput) {
        if (m_external) {
            if (entry == ExternalInput)
                m_external->HandleInput(text);
            else
                m_external->HandleThroughput(text);
        } else if (!m_reported.contains(port)) {
            m_reported.insert(port);
            m_context.log->monitor(
                QStringLiteral("no external handler is installed: input on the %1 is dropped").arg(port));
        }
        return;
    }
    const auto found = m_entries.constFind(entry);
    if (found != m_entries.constEnd()) {
        found.value()(text);
        return;
    }
    if (!m_reported.contains(entry)) {
        m_reported.insert(entry);
        m_context.log->monitor(
            QStringLiteral("%1 is not available in this version: input on the %2 is dropped").arg(entry, port));
    }
}

} // namespace Quorlix
