#include "Dispatch.h"

#include "LineHandler.h"
#include "core/Clock.h"
#include "core/CommLog.h"

namespace Quorlix {

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
