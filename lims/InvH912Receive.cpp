#include "InvH912Receive.h"

#include "LimsOrderFrame.h"
#include "LimsOrderStore.h"
#include "comm/PeriodicTasks.h"
#include "core/Settings.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "drivers/hitachi/HitachiReply.h"
#include "store/Store.h"

namespace Quorlix {

InvH912Receive::InvH912Receive(const DriverServices& services)
    : LimsHostHandler(services), m_kind(services.store.kinds().require<LimsOrderJobKind>())
{
    // An order that has to wait for the database still gives the analyzer its tests, also when the
    // database was away from the start: the maps are read as soon as it answers, and kept current
    // on the tick rather than on the way to the analyzer's answer.
    readChannels();
    services.tasks.add(QStringLiteral("LimsChannelMap"), TimerInterval::Housekeeping,
                       [this] { readChannels(); });
}

void InvH912Receive::readChannels()
{
    const DbOutcome read = m_channels.refresh(m_db, m_settings.OutId, m_settings.AnalyzerId);
    m_channelsError = read.error;
    m_channelsRead = m_channelsRead || read.ok();
}

bool InvH912Receive::servesAnalyzer() const
{
    if (!m_analyzer)
        return false;
    const QString& type = m_settings.AnalyzerType;
    return (type == QLatin1String("H911") && m_analyzer->model() == HitachiModel::Hit911) ||
           (type == QLatin1String("H902") && m_analyzer->model() == HitachiModel::Hit902);
}

QString InvH912Receive::analyzerOrder(const QString& sampleId, int kind)
{
    return servesAnalyzer() ? m_analyzer->orderReply(sampleId, kind) : QStringLiteral(">");
}

QString InvH912Receive::knownOrder(const LimsOrderFrame& order)
{
    if (!servesAnalyzer())
        return QStringLiteral(">");
    if (m_channelsRead)
        monitor(
            QStringLiteral("the order of sample %1 waits for the database: the analyzer is sent the tests "
                           "of the LIMS's channels")
                .arg(order.sampleId));
    else
        monitor(
            QStringLiteral("the order of sample %1 waits for the database, and param2channel could not be "
                           "read since the start (%2): the analyzer is sent no tests")
                .arg(order.sampleId, m_channelsError));
    const bool hit902 = m_analyzer->model() == HitachiModel::Hit902;
    QString selection = m_channels.analyzerSelection(order.orderedChannels(), hit902 ? 37 : 48);
    if (!hit902)
        return BuildHit911Order(m_analyzer->frameRecord(), m_analyzer->sampleRecord(), selection);
    if (m_settings.IseSetting == QLatin1String("1"))
        selection += QLatin1Char('0'); // the ISE channel follows a real selection
    return BuildHit902Order(m_analyzer->frameRecord(), m_analyzer->sampleRecord(), selection);
}

void InvH912Receive::order(const QString& frame)
{
    const LimsOrderFrame order = ReadLimsOrder(frame);
    if (order.tubeNotFound || !order.ordersTests()) {
        m_reply = analyzerOrder(order.sampleId, 0);
        return;
    }
    if (order.sampleId.isEmpty()) {
        monitor(QStringLiteral("LIMS order without a sample id: nothing stored"));
        m_reply = analyzerOrder(order.sampleId, 1);
        return;
    }
    // Nothing is read before the order is handed to the store: it waits whole when the database
    // fails, and its tests then come from the maps read before.
    const bool stored = submitOrder(m_kind, frame);
    m_reply = stored ? analyzerOrder(order.sampleId, 1) : knownOrder(order);
}

} // namespace Quorlix
