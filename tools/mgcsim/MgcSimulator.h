#pragma once

#include "core/Database.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace QuorlixMgcSim {

// Plays the MGC240's control software on its database: it measures what is ordered in
// samp_odr/samp_dat (each ordered item gets a concentration, data_state 3 and its measurement
// time; the sample samp_state 3) and writes calibrations into calib. Every change of a sample is
// one transaction, as the analyzer's own program would make it.
class MgcSimulator
{
public:
    // Opens the database file; with create, a missing file is made.
    QString open(const QString& file, bool create);
    // The analyzer's tables when missing, and the names of items 1..12 when itempara is empty.
    QString init();
    // A calibration of each item now: blank absorbance missing, two standards.
    QString calibrate(const QList<int>& items, QStringList* report);
    // Measures every sample ordered and not yet finished; returns the error, if any.
    QString measure(QStringList* report);

    // The concentration the simulated analyzer finds: a typical value of the item, varied a little
    // by the sample id (the same id and item always give the same value).
    static double Concentration(const QString& sampleId, int item);

private:
    Quorlix::Database m_db{QStringLiteral("quorlix-mgc-sim")};
};

} // namespace QuorlixMgcSim
