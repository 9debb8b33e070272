#pragma once

#include <QtGlobal>

namespace Quorlix {

class ChannelMap;
class MgcContext;

// Each MGC240 cycle: for every parameter of this analyzer, the MGC240's newest calibration of its item when
// it is later than the newest one stored and not quarantined. Returns the number stored.
int MgcFetchCalibrations(MgcContext& ctx, const ChannelMap& channels);

// What became of the newest calibration of an item.
enum class MgcCalibrationTaken
{
    Stored,
    Passed,  // stored before, quarantined now or before, or unreadable (reported)
    Waiting, // the database failed: nothing more is taken in this tick
};
// The newest calibration of the item into calibrations (as the item's parameter): the absorbances
// of the blank and the first five standards and the expected concentrations of calib_base.
MgcCalibrationTaken MgcStoreCalibration(MgcContext& ctx, const ChannelMap& channels, qint16 item);

// Each MGC240 cycle: another program sets analyzers.com_port of this analyzer to 1 to have the button of the
// MGC240's own program pressed; the flag goes back to 0 once that was tried.
void MgcCheckComPort(MgcContext& ctx);

} // namespace Quorlix
