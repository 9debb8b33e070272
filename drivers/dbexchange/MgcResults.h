#pragma once

namespace Quorlix {

class ChannelMap;
class ItemNames;
class MgcContext;
struct OpenRequests;

// What the results step of a tick did.
struct ResultCounts
{
    int stored = 0; // samples whose results were stored
    int again = 0;  // samples whose tests are measured again
};

// Each MGC240 cycle: the finished results of open orders (items measured, data_state 3, of samples the
// analyzer has finished, samp_state 3 or more) into request, in records of up to 100 samples.
// Item 0 (a parameter without a channel) is never taken. A measurement already taken for an
// earlier order of the same test is not taken again: the test is ordered anew, to be measured
// again. A sample the laboratory database refuses is quarantined and not taken again.
ResultCounts MgcFetchResults(MgcContext& ctx, const ChannelMap& channels, const ItemNames& names,
                             const OpenRequests& open);

} // namespace Quorlix
