#pragma once

#include "store/qc/QcHistory.h"

#include <QString>

namespace Quorlix {

// Writes the Levey-Jennings charts of a period into a PDF (A4, two charts a page), followed by the
// list of rule events. Returns an error text, empty when the file was written.
QString WriteQcPdf(const QcPeriod& period, const QString& file);

} // namespace Quorlix
