#include "OrderSelection.h"

#include "HitachiQueries.h"
#include "core/FrameText.h"
#include "store/ControlStore.h"

namespace Quorlix {

SelectionOutcome OrderSelector::select(const QString& sampleId)
{
    const QString id = WithoutBlanks(sampleId);
    OrderChannels found;
    QString error;
    if (!read(id, MatchesMask(sampleId, m_rules.controlMask), found, error))
        return {false, {}, error};

    SelectionOutcome outcome{true, QString(m_rules.channelCount(), QLatin1Char('0')), {}};
    for (const int channel : std::as_const(found.channels)) {
        if (channel >= 1 && channel <= outcome.selection.size())
            outcome.selection[channel - 1] = QLatin1Char('1');
    }
    if (found.openControls && !HitachiQueries(m_db, m_rules.analyzerId).deleteOpenControls(id, &error))
        outcome.error = QStringLiteral("open controls of %1 could not be deleted: %2").arg(id, error);
    return outcome;
}

bool OrderSelection::read(const QString& id, bool control, OrderChannels& found, QString& error)
{
    QString why;
    std::optional<OrderChannels> read =
        HitachiQueries(m_db, m_rules.analyzerId)
            .orderChannels(id, control, m_rules.queries, m_rules.channelCount(), &why);
    if (!read) {
        error = QStringLiteral("orders of %1 could not be read: %2").arg(id, why);
        return false;
    }
    found = std::move(*read);
    return true;
}

} // namespace Quorlix
