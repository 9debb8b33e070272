#pragma once

#include "store/qc/QcHistory.h"

#include <QColor>
#include <QString>

class QChart;

namespace Quorlix {

// Colours of a point on a Levey-Jennings chart, by what its result fired.
inline const QColor InControlColour(0x1f, 0x4e, 0x9a);
inline const QColor WarningColour(0xe6, 0x9a, 0x00);
inline const QColor RejectionColour(0xcc, 0x00, 0x00);

// "QC1 · GLU (3) on H911", the name of a series on its chart, in the PDF and in the event table.
QString QcSeriesTitle(const QcSeries& series);

// What a series is judged against: "mean 5.02, SD 0.21 (provisional, 12 results)".
QString QcTargetsText(const ControlTargets& targets);

// A Levey-Jennings chart of one series: its results in time order, coloured in control, warning
// or rejection, over the mean and the lines at 1, 2 and 3 SD. The caller owns the chart.
QChart* MakeQcChart(const QcSeries& series);

} // namespace Quorlix
