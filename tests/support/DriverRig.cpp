#include "DriverRig.h"

namespace Quorlix::Test {

DriverRig::DriverRig(const QString& backend, const QDateTime& start) : tdb(backend), time(start) {}

DriverServices DriverRig::services(LineHandler* analyzerHandler)
{
    return DriverServices{settings,     tdb.db(), log,  time,  time,           store,
                          analyzerLine, limsLine, link, tasks, analyzerHandler};
}

void DriverRig::exec(const QStringList& statements)
{
    for (const QString& sql : statements)
        tdb.exec(sql);
}

QStringList DriverRig::monitor() const
{
    const QLatin1String prefix("Monitor: ");
    QStringList lines;
    for (const QString& line : log.recentLines()) {
        if (line.startsWith(prefix))
            lines.prepend(line.mid(prefix.size())); // oldest first
    }
    return lines;
}

} // namespace Quorlix::Test
