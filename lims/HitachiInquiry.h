#pragma once

#include "store/Records.h"

#include <QString>

namespace Quorlix {

struct Context;

// The analyzer's order inquiry as a Hitachi 912 sends it to its host, from the last parsed frame:
// STX, function, class in upper case, "1", number (5), "1", position (2), "5", sample id (13),
// info (4), "0", date (6), time (4), ETX; fields right-aligned. 42 characters.
QString BuildLimsInquiryFrame(const HitachiFrameRecord& frame, const SampleRecord& sample);

// Sends the inquiry of the last parsed frame on the LIMS port, which logs it (direction 4).
void ForwardInquiryToLims(Context& context);

} // namespace Quorlix
