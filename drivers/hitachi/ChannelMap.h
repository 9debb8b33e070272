#pragma once

#include "store/ChannelParameters.h"
#include "store/Records.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Quorlix {

class Database;

// The parameter of each channel, from param2channel, in one query. With ofThisAnalyzer only this
// analyzer's rows count (the 902 and 912); otherwise a channel of any analyzer is taken, this
// analyzer's first (the 911, and calibrations). Nothing, with the reason, when the database cannot
// be read.
std::optional<QHash<qint16, qint16>> ParametersOfChannels(Database& db, const QString& analyzerId,
                                                          const QList<qint16>& channels, bool ofThisAnalyzer,
                                                          QString* error);

// The distinct channels of a sample's results.
QList<qint16> ChannelsOf(const SampleRecord& sample);

} // namespace Quorlix
