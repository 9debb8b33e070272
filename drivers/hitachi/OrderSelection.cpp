#include "OrderSelection.h"

#include "HitachiQueries.h"
#include "core/FrameText.h"
#include "store/ControlStore.h"

namespace Quorlix {

SelectionOutcome OrderSelector::select(const QString& sampleId)
{
    const QString id = WithoutBlanks(sampleId);
    const bool control = MatchesMask(sampleId, m_rules.controlMask);

    HitachiQueries queries(m_db, m_rules.analyzerId);
    QString error;
    const std::optional<bool> openControls = queries.hasOpenControls(id, &error);
    if (!openControls)
        return {false, {}, QStringLiteral("open controls of %1 could not be read: %2").arg(id, error)};

    const Source source = !control        ? Source::Requests
                          : *openControls ? Source::OpenControls
                                          : Source::ControlDefinitions;
    SelectionOutcome outcome;
    outcome.selection = QString(m_rules.channelCount(), QLatin1Char('0'));
    if (!channels(source, id, outcome.selection, outcome.error))
        return {false, {}, outcome.error};
    outcome.ok = true;

    if (*openControls && !queries.deleteOpenControls(id, &error))
        outcome.error = QStringLiteral("open controls of %1 could not be deleted: %2").arg(id, error);
    return outcome;
}

bool OrderSelection::channels(Source source, const QString& id, QString& selection, QString& error)
{
    QString why;
    const std::optional<QList<int>> channels =
        HitachiQueries(m_db, m_rules.analyzerId)
            .orderChannels(source, id, m_rules.queries, m_rules.channelCount(), &why);
    if (!channels) {
        error = QStringLiteral("orders of %1 could not be read: %2").arg(id, why);
        return false;
    }
    for (const int channel : *channels) {
        if (channel >= 1 && channel <= selection.size())
            selection[channel - 1] = QLatin1Char('1');
    }
    return true;
}

} // namespace Quorlix
