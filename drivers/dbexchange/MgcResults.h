#pragma once

namespace Quorlix {

class ChannelMap;
class ItemNames;
class MgcContext;
struct OpenRequests;

// Timer2: the finished results of open orders (items measured, data_state 3, of samples the
// analyzer has finished, samp_state 3 or more) into request, one store record per sample. Returns
// the number of samples handed to the store. Item 0 (a parameter without a channel) is never taken.
int MgcFetchResults(MgcContext& ctx, const ChannelMap& channels, const OpenRequests& open);

// Timer2: the measured results of this analyzer's controls into control_results and control_block,
// each measurement (rst_date) once; then every control whose order counts three items or more is
// ordered anew. Returns the number of control results handed to the store.
int MgcFetchControls(MgcContext& ctx, const ChannelMap& channels, const ItemNames& names);

} // namespace Quorlix
