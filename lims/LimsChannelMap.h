#pragma once

#include "store/DbOutcome.h"

#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QString>

namespace Quorlix {

class Database;

// The analyzer channels a LIMS order stands for: the LIMS's channel gives a parameter
// (param2channel of the LIMS side), the parameter the analyzer's channels (param2channel of the
// analyzer). Read at every order and kept, so that an order the database cannot take yet still
// tells the analyzer what to measure.
class LimsChannelMap
{
public:
    // Reads both mappings; on failure the previous ones stay.
    DbOutcome refresh(Database& db, const QString& limsId, const QString& analyzerId);

    // One character per analyzer channel 1..channelCount: "1" where an ordered LIMS channel's
    // parameter is measured.
    QString analyzerSelection(const QList<int>& limsChannels, int channelCount) const;

private:
    QHash<int, int> m_limsParameter;         // LIMS channel -> parameter
    QMultiHash<int, int> m_analyzerChannels; // parameter -> analyzer channels
};

} // namespace Quorlix
