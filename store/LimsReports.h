#pragma once

#include "DbOutcome.h"
#include "LimsFrames.h"

#include <QString>

namespace Quorlix {

class Database;
struct Context;

// The frame toward the LIMS of the control results stored for controlId at timeStamp (a ToSqlStamp
// text), with the channels of the LIMS-side analyzer outId. Empty when nothing was stored.
DbOutcome ControlResultsFrameFromDb(Database& db, const ControlFrameHeader& header, const QString& controlId,
                                    const QString& timeStamp, const QString& outId, QString* frame);

// The calibration frame toward the LIMS of the calibration stored at calibDat for the parameter
// (the first one found, with the first channel of the parameter). Empty when there is none.
DbOutcome CalibrationFrameFromDb(Database& db, const QString& calibDat, qint16 parameterId, QString* frame);

// Build and send on the LIMS port, with the header of the context's last analyzer frame and the
// current time. Return false (with a Monitor line) when the database fails.
bool SendControlResultsToLims(Context& context, const QString& controlId, const QString& timeStamp);
bool SendCalibrationToLims(Context& context, const QString& calibDat, qint16 parameterId);

} // namespace Quorlix
