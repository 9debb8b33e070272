#include "IndikoComment.h"

#include "core/Database.h"
#include "core/FrameText.h"
#include "store/RecordJson.h"
#include "store/StoreValues.h"
#include "store/Transaction.h"

namespace Quorlix {

QString DescribeIndikoCommentJob(const StoreJob& job)
{
    const IndikoComment& c = job.data<IndikoComment>();
    return QStringLiteral("comment on %1 %2 parameter %3")
        .arg(c.control ? QStringLiteral("control") : QStringLiteral("sample"), c.sampleId)
        .arg(c.parameterId);
}

void WriteIndikoCommentJob(const StoreJob& job, QJsonObject& object)
{
    const IndikoComment& c = job.data<IndikoComment>();
    object.insert(QStringLiteral("comment"), QJsonObject{{QStringLiteral("sampleId"), c.sampleId},
                                                         {QStringLiteral("parameterId"), c.parameterId},
                                                         {QStringLiteral("dataAlarm"), c.dataAlarm},
                                                         {QStringLiteral("text"), c.text},
                                                         {QStringLiteral("control"), c.control}});
}

bool ReadIndikoCommentJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader outer(object, error);
    JsonReader r(outer.object(QStringLiteral("comment")), error);
    IndikoComment c;
    c.sampleId = r.text(QStringLiteral("sampleId"));
    c.parameterId = r.int16(QStringLiteral("parameterId"));
    c.dataAlarm = r.text(QStringLiteral("dataAlarm"));
    c.text = r.text(QStringLiteral("text"));
    c.control = r.boolean(QStringLiteral("control"));
    job.payload = c;
    return error->isEmpty();
}

DbOutcome RunIndikoCommentJob(const StoreJob& job, JobRun& run)
{
    return StoreIndikoComment(run.transaction.db(), job, job.data<IndikoComment>());
}

DbOutcome StoreIndikoComment(Database& db, const StoreJob& job, const IndikoComment& c)
{
    const QVariant stamp = db.stamp(job.stamp);
    const QString where = QStringLiteral(" AND parameter_id = ? AND time_stamp = ? AND analyzer_id = ?");
    if (c.control) {
        SqlResult r = db.run(
            QStringLiteral("UPDATE control_results SET data_alarm = ? WHERE control_id = ?") + where,
            {BoundText(c.text), WithoutBlanks(c.sampleId), c.parameterId, stamp, BoundText(job.AnalyzerId)});
        return DbOutcome::of(db, r);
    }
    SqlResult request =
        db.run(QStringLiteral("UPDATE request SET data_alarm = ? WHERE sample_id = ?") + where,
               {BoundText(c.dataAlarm), c.sampleId, c.parameterId, stamp, BoundText(job.AnalyzerId)});
    if (DbOutcome o = DbOutcome::of(db, request); !o.ok())
        return o;
    SqlResult raw =
        db.run(QStringLiteral("UPDATE Raw_Results SET data_alarm = ? WHERE sample_id = ?") + where,
               {BoundText(c.text), c.sampleId, c.parameterId, stamp, BoundText(job.AnalyzerId)});
    return DbOutcome::of(db, raw);
}

} // namespace Quorlix
