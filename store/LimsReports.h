#pragma once

#include "DbOutcome.h"
#include "LimsFrames.h"

#include <QString>

namespace Quorlix {

class Database;

// The frame toward the LIMS of the control results stored for controlId at timeStamp (a ToSqlStamp
// text), with the channels of the LIMS-side analyzer outId. Empty when nothing was stored.
DbOutcome ControlResultsFrameFromDb(Database& db, const ControlFrameHeader& header, const QString& controlId,
                                    const QString& timeStamp, const QString& outId, QString* frame);

// The calibration frame toward the LIMS of the calibration stored at calibDat for the parameter
// (the first one found, with the first channel of the parameter). Empty when there is none.
DbOutcome CalibrationFrameFromDb(Database& db, const QString& calibDat, qint16 parameterId, QString* frame);

} // namespace Quorlix
