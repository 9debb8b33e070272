#pragma once

#include "store/StoreJob.h"

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

    QString sampleId; // IndSampleId, IndSampleDisc, IndSamplePos of the order before it
    QString disc;
    QString position;
    QString testCode; // component 4 of field 2
    QString value;    // field 3
    bool control = false;
    QList<Comment> comments;
};

// Stores an IndikoResultRecord in one transaction, stamped with the message time (the job's
// stamp): the parameter of the test code on this analyzer from param2channel, then the sample or
// control result, then each comment on it. A code without a parameter here stores nothing
// ("Received unknown parameter: "), its comments neither: never under another record's parameter.
class IndikoResultJobKind final : public JobKind
{
public:
    QString name() const override { return QStringLiteral("indiko-result"); }
    QString describe(const StoreJob& job) const override;
    void write(const StoreJob& job, QJsonObject& object) const override;
    bool read(const QJsonObject& object, StoreJob& job, QString* error) const override;
    DbOutcome run(const StoreJob& job, JobRun& run) const override;
};

} // namespace Quorlix
