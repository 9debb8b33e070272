#pragma once

#include "AuFrame.h"
#include "store/StoreJob.h"

namespace Quorlix {

class AuQueries;

// What an AU frame brought for the store, as received: results with their channels and flags (the
// two flag characters), or the standards of a calibration. The channels are mapped to parameters,
// and the flags read, inside the transaction that stores the record: a frame received while the
// database is down waits in the spool as it came and is read when it is back.
struct AuReceived
{
    enum class Target
    {
        Sample,
        Control,
        Standards // none: a look at the standards that wait (AuStandardsJob.h)
    };
    Target target = Target::Sample;
    AuModel model = AuModel::Au400;
    SampleRecord sample;                 // Sample, Control: id, rack, cup and the results
    QList<AuCalibrationEntry> standards; // Standards
    // Control, with a LIMS side: the frame as received, relayed to the LIMS as a "DQ" frame with the
    // control's name once the control is stored (a frame sent again is relayed once, as it is
    // stored once).
    QString limsRelay;
};

QString DescribeAuReceivedJob(const StoreJob& job);
void WriteAuReceivedJob(const StoreJob& job, QJsonObject& object);
bool ReadAuReceivedJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunAuReceivedJob(const StoreJob& job, JobRun& run);
using AuReceivedJobKind = FunctionJobKind<"au-received", DescribeAuReceivedJob, WriteAuReceivedJob,
                                          ReadAuReceivedJob, RunAuReceivedJob>;

// The AU family's rules for the store: calibration readings are absorbances in units of 10^-4; an
// AU600 with a LIMS side sends ids of its own, mapped to laboratory ids; a LIMS playing the AU host
// gets the analyzer's own frames, not the store's reports.
void SetAuStoreRules(JobKinds& kinds);

// The value and data alarm of one result of a parameter, from its flags as received:
// - "!" (the absorbance left the calibrated range): the value is read against the latest
//   calibration of the test ("99999"/"999999" above, "0" below) and the alarm is "!";
// - "F" (not on the AU600): "99999" and "F" for a test that test_def defines;
// - "G" (not on the AU600): "0" and "G".
// The alarm keeps the flags without blanks, one blank when there are none.
DbOutcome CheckAuFlags(AuQueries& queries, AuModel model, ResultEntry& entry);

} // namespace Quorlix
