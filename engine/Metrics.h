#pragma once

#include "comm/LinkState.h"
#include "core/InstanceStats.h"

#include <QString>

namespace Quorlix {

// What an instance shows its site's monitoring: its counters, its links and its spool.
struct MetricsInput
{
    const InstanceStats& stats;
    const LinkState& link;
    bool hasAnalyzerLine = true;
    bool hasLimsLine = false;
    int spoolWaiting = 0;
    int quarantined = 0;
    QString analyzerId;
    QString analyzerType;
    QString version;
};

// The Prometheus text exposition (format 0.0.4) of one instance: every sample carries the label
// analyzer="ID".
QString MetricsText(const MetricsInput& input);

// A label value as the text format needs it: backslash, double quote and line feed escaped.
QString EscapeLabelValue(const QString& value);

} // namespace Quorlix
