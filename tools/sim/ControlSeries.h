#pragma once

#include <QString>

namespace QuorlixSim {

// A series of results of one control for one test, as a laboratory sees it run after run: values
// scattered about the control's mean with its standard deviation, optionally with a shift (every
// result from one on lies K SD off) or a drift (each result from one on lies K SD further off than
// the one before). The scatter is a fixed table, so a series is the same every time it is sent.
struct ControlSeries
{
    QString controlId;
    QString test; // as the role names a test: the channel (Hitachi, AU) or the test code (ASTM)
    int count = 0;
    double mean = 0;
    double sd = 0;
    double shift = 0; // in SD, from result shiftFrom on
    int shiftFrom = 1;
    double drift = 0; // in SD per result, from result driftFrom on
    int driftFrom = 1;
    double noise = 1; // scale of the scatter: 0 sends the mean plus shift and drift exactly
    int everyMs = 0;  // pause before each result after the first
    int decimals = 1;

    // Result i (1 to count) in SD from the mean, and as the analyzer writes it.
    double z(int i) const;
    QString value(int i) const;
};

// Reads "ID:TEST:N:MEAN:SD[:shift=K@I][:drift=K@I][:noise=F][:every=MS]"; an error text, or empty.
QString ParseControlSeries(const QString& spec, ControlSeries& series);

// The option's description, for --help.
QString ControlSeriesHelp();

} // namespace QuorlixSim
