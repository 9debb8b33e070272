#include "StoreFixture.h"

namespace Quorlix::Test {

StoreFixture::StoreFixture(const QString& backend, const QDateTime& now) : tdb(backend), clock(now)
{
    setup.AnalyzerId = QStringLiteral("H911");
    setup.AnalyzerType = QStringLiteral("H911");
}

QStringList StoreFixture::monitor() const
{
    const QLatin1String prefix("Monitor: ");
    QStringList lines;
    for (const QString& line : log.recentLines()) {
        if (line.startsWith(prefix))
            lines << line.mid(prefix.size());
    }
    return lines;
}

} // namespace Quorlix::Test
