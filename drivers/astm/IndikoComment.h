#pragma once

#include "store/StoreJob.h"

namespace Quorlix {

class Database;

// An Indiko comment (C record) on the result stored just before it: the data alarm of the sample's
// request row and the comment text on its raw result, or the comment text on the control result.
// The rows are found by id, parameter, analyzer and the time stamp of the job (the message time).
struct IndikoComment
{
    QString sampleId; // trimmed
    qint16 parameterId = 0;
    QString dataAlarm; // for request: "!" once a comment of the batch had text
    QString text;      // at most 50 characters
    bool control = false;
};

// The comment's statements inside the caller's transaction.
DbOutcome StoreIndikoComment(Database& db, const StoreJob& job, const IndikoComment& comment);

// A comment on its own, as earlier releases spooled it; comments now travel with their result.
QString DescribeIndikoCommentJob(const StoreJob& job);
void WriteIndikoCommentJob(const StoreJob& job, QJsonObject& object);
bool ReadIndikoCommentJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunIndikoCommentJob(const StoreJob& job, JobRun& run);
using IndikoCommentJobKind =
    FunctionJobKind<"indiko-comment", DescribeIndikoCommentJob, WriteIndikoCommentJob, ReadIndikoCommentJob,
                    RunIndikoCommentJob>;

} // namespace Quorlix
