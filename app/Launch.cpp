#include "Launch.h"

namespace Quorlix {

void PrintLine(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stream, "%s\n", bytes.constData());
    std::fflush(stream);
}

std::unique_ptr<Clock> MakeClock(const LaunchOptions& options)
{
    if (options.clockStart.isValid())
        return std::make_unique<OffsetClock>(options.clockStart);
    return std::make_unique<SystemClock>();
}

} // namespace Quorlix
