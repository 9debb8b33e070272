#include "Launch.h"

namespace Quorlix {

void PrintLine(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stream, "%s\n", bytes.constData());
    std::fflush(stream);
}

void ReportLine(Severity severity, const QString& text)
{
    // The journal and a reader of stderr take one line per message.
    const QString line = OneLine(text);
    // systemd sets JOURNAL_STREAM when stderr goes to the journal.
    if (qEnvironmentVariableIsSet("JOURNAL_STREAM"))
        PrintLine(stderr, QStringLiteral("<%1>").arg(static_cast<int>(severity)) + line);
    else
        PrintLine(stderr, line);
}

std::unique_ptr<Clock> MakeClock(const LaunchOptions& options)
{
    if (options.clockStart.isValid())
        return std::make_unique<OffsetClock>(options.clockStart);
    return std::make_unique<SystemClock>();
}

} // namespace Quorlix
