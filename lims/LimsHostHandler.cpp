#include "LimsHostHandler.h"

#include "LimsLog.h"
#include "LimsOrderStore.h"
#include "comm/Line.h"
#include "comm/LinkState.h"
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "core/Settings.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "store/Spool.h"
#include "store/Store.h"

namespace Quorlix {

LimsHostHandler::LimsHostHandler(const DriverServices& services)
    : m_settings(services.settings), m_db(services.db), m_store(services.store),
      m_analyzer(dynamic_cast<HitachiDriver*>(services.analyzerHandler)), m_log(services.log),
      m_analyzerLine(services.analyzerLine), m_link(services.link)
{
}

void LimsHostHandler::monitor(const QString& text)
{
    m_log.monitor(text);
}

void LimsHostHandler::receive(const QString& text)
{
    const LimsFrameReader::Read read = m_reader.append(text);
    for (const QString& problem : read.problems)
        monitor(problem);
    for (const QString& frame : read.frames)
        handle(frame);
}

void LimsHostHandler::handle(const QString& frame)
{
    // Only a complete frame replaces the reply: a repeat request that arrives in pieces still
    // repeats what the analyzer was sent.
    const QString previous = m_reply;
    m_reply = QStringLiteral(">");
    m_log.logall(frame, Direction::LimsToHost);

    const QString function = MidOneBased(frame, 2, 1);
    qCDebug(lcLims) << "frame function" << function << "characters" << frame.size();
    if (function == QLatin1String("?")) {
        m_reply = previous;
        monitor(QStringLiteral("rep"));
    } else if (function == QLatin1String("@")) {
        m_reply = previous;
        monitor(QStringLiteral("sus"));
    } else if (function == QLatin1String("1")) {
        monitor(QStringLiteral("fr1"));
    } else if (function == QLatin1String("2")) {
        monitor(QStringLiteral("fr2"));
    } else if (function == QLatin1String(":")) {
        monitor(QStringLiteral("res"));
    } else if (function == QLatin1String("<") && knowsLessThan()) {
        monitor(QStringLiteral("res"));
    } else if (function == QLatin1String(";")) {
        order(frame);
    }

    if (m_link.analyzerOnline) {
        m_analyzerLine.send(Stx + m_reply + Etx, Direction::HostToAnalyzer);
        // The LIMS's order answers the analyzer's inquiry that was forwarded to it.
        if (m_analyzer && function == QLatin1String(";"))
            m_analyzer->replyTime().answered();
    } else if (m_reply != QLatin1String(">")) {
        monitor(
            QStringLiteral("the analyzer is offline: the reply is kept until the LIMS asks for a repeat"));
    }
}

bool LimsHostHandler::submitOrder(const JobKind& kind, const QString& frame)
{
    LimsOrderJob order{frame, m_analyzer ? m_analyzer->sampleRecord().SamplePos : QString(),
                       m_settings.Mgc240Name};
    // No fingerprint of the frame: a LIMS that sends the same order again (the same tests once more
    // after the first were done) means it, and storing it twice changes nothing else.
    m_store.submit(m_store.newJob(kind, order));
    const Spool* spool = m_store.spool();
    return !(spool && spool->hasPending());
}

} // namespace Quorlix
