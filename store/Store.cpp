#include "Store.h"

#include "JobRunner.h"

namespace Quorlix {

void StoreSampleResult(Context& context)
{
    SubmitJob(context, TakeJob(context, StoreJob::Kind::Sample));
}

void StoreControlResult(Context& context)
{
    SubmitJob(context, TakeJob(context, StoreJob::Kind::Control));
}

void StoreCalibration(Context& context)
{
    SubmitJob(context, TakeJob(context, StoreJob::Kind::Calibration));
}

} // namespace Quorlix
