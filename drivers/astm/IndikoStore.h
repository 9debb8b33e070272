#pragma once

#include "store/StoreJob.h"

#include <QDateTime>
#include <QList>

namespace Quorlix {

// One Indiko result (R record) as received, with the comments (C records) that follow it. The
// test code travels as received: it is turned into its parameter inside the transaction that
// stores the result, so that a result received while the database is away waits whole.
struct IndikoResultRecord
{
    struct Comment
    {
        QString dataAlarm; // for request: "!" once a comment of the batch had text
        QString text;      // at most 50 characters
    };

    QString sampleId; // of the order before it
    QString disc;
    QString position;
    QString testCode; // component 4 of field 2
    QString value;    // field 3
    bool control = false;
    QList<Comment> comments;
};

// What the driver keeps of a message for its results: the order before them, the last result and
// the message time of the header (invalid when none).
struct IndikoSample
{
    QString IndSampleId;
    QString IndSampleDisc;
    QString IndSamplePos;
    qint16 IndParameterId = 0;
    QString IndResult;
    QDateTime IndMeasTime;
};

// The Indiko family's rules for the store: the orders of a sample take the time of a measurement
// within 13 minutes of theirs; records spooled by earlier releases as samples and controls are read.
void SetIndikoStoreRules(JobKinds& kinds);

// Stores an IndikoResultRecord in one transaction, stamped with the message time (the job's
// stamp): the parameter of the test code on this analyzer from param2channel, then the sample or
// control result, then each comment on it. A code without a parameter here stores nothing
// ("Received unknown parameter: "), its comments neither: never under another record's parameter.
QString DescribeIndikoResultJob(const StoreJob& job);
void WriteIndikoResultJob(const StoreJob& job, QJsonObject& object);
bool ReadIndikoResultJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunIndikoResultJob(const StoreJob& job, JobRun& run);
using IndikoResultJobKind = FunctionJobKind<"indiko-result", DescribeIndikoResultJob, WriteIndikoResultJob,
                                            ReadIndikoResultJob, RunIndikoResultJob>;

} // namespace Quorlix
