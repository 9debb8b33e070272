#pragma once

#include "store/Records.h"

#include <QHash>
#include <QStringList>

namespace Quorlix {

// Gives every result the parameter of its channel; a result whose channel has none is left out,
// with a note naming the sample (as SAMPLELABEL), the channel, the value and any flags.
void ApplyParameters(SampleRecord& sample, const QHash<qint16, qint16>& parameters,
                     const QString& sampleLabel, QStringList& notes);

} // namespace Quorlix
