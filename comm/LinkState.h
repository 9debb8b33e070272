#pragma once

#include <QDateTime>

namespace Quorlix {

// When each line last received something, and what the window shows for it. A link that never
// received counts as silent for ever.
struct LinkState
{
    QDateTime LastAnalyzerInput;
    QDateTime LastLimsInput;
    bool analyzerOnline = true; // the window shows "online" until the first supervision tick
    bool limsOnline = true;
};

} // namespace Quorlix
