#pragma once

#include "drivers/hitachi/OrderSelection.h"

namespace Quorlix::Test {

// The selection as the analyzer's host has always made it: one query per channel, with queries of
// its own (the control/parameter pair matched as a pair). The reference that the one-query form
// is checked and measured against.
class LiteralOrderSelection final : public OrderSelector
{
public:
    using OrderSelector::OrderSelector;

protected:
    bool read(const QString& id, bool control, OrderChannels& found, QString& error) override;
};

} // namespace Quorlix::Test
