#pragma once

#include <QString>

namespace Quorlix {

// A driver as the dispatch sees it: the handler of what arrives on one line (the analyzer line or
// the LIMS line). It is built, with the services it uses, by a factory registered under the entry
// names of the dispatch tables, and owns its frame buffer and protocol state.
class LineHandler
{
public:
    virtual ~LineHandler() = default;
    // A piece of text as the line delivered it: part of a frame, a frame, or several.
    virtual void receive(const QString& text) = 0;
};

} // namespace Quorlix
