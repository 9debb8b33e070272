#pragma once

#include "store/ChannelParameters.h"
#include "store/Records.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace Quorlix {

// The distinct channels of a sample's results.
QList<qint16> ChannelsOf(const SampleRecord& sample);

} // namespace Quorlix
