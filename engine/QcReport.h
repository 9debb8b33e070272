#pragma once

#include "store/qc/QcHistory.h"

#include <QString>

#include <functional>

namespace Quorlix {

struct LaunchOptions;

// The CSV report of a period: a header row, then one row per control result, series after series
// (analyzer, control, parameter, time, value, z, mean, sd, target source, rules), lines ended by
// CRLF as spreadsheets expect.
QString QcReportCsv(const QcPeriod& period);

// Draws the charts of a period into a PDF file; returns an error text, empty on success. Only the
// program with windows has one.
using QcPdfWriter = std::function<QString(const QcPeriod& period, const QString& file)>;

// --qc-report: reads the period from the database the ini names and writes the report (CSV on
// stdout without --out). Returns the exit code: 0, 2 for options that cannot be used (a PDF without
// a writer, an output that cannot be written), 3 when the database cannot be opened or read.
int RunQcReport(const LaunchOptions& options, const QString& commandLine, const QString& applicationDir,
                const QcPdfWriter& writePdf);

} // namespace Quorlix
