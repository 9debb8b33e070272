#include "DriverRig.h"

#include "comm/LineHandler.h"

#include <QTest>

namespace Quorlix::Test {

DriverRig::DriverRig(const QString& backend, const QDateTime& start) : tdb(backend), time(start)
{
    analyzerLine.afterInput = [this] {
        checkNoStatementLeftActive(QStringLiteral("input on the analyzer line"));
    };
    limsLine.afterInput = [this] { checkNoStatementLeftActive(QStringLiteral("input on the LIMS line")); };
    time.afterTimeout = [this] { checkNoStatementLeftActive(QStringLiteral("a timer")); };
    log.countFramesIn(&stats);
    store.countInto(&stats);
}

DriverRig::~DriverRig()
{
    time.afterTimeout = nullptr;
    if (!m_firstLeftActive.isEmpty())
        QTest::qFail(qPrintable(m_firstLeftActive), __FILE__, __LINE__);
}

void DriverRig::deliver(LineHandler& handler, const QString& text)
{
    handler.receive(text);
    checkNoStatementLeftActive(QStringLiteral("input to a handler"));
}

void DriverRig::checkNoStatementLeftActive(const QString& after)
{
    if (!m_firstLeftActive.isEmpty())
        return;
    if (const QString blocked = tdb.walCheckpointBlocked(); !blocked.isEmpty())
        m_firstLeftActive = QStringLiteral("after %1: %2 (last lines: %3)")
                                .arg(after, blocked, log.recentLines().mid(0, 4).join(QStringLiteral(" | ")));
}

DriverServices DriverRig::services(LineHandler* analyzerHandler)
{
    return DriverServices{settings,     tdb.db(), log,  time,  time,  store,
                          analyzerLine, limsLine, link, tasks, stats, analyzerHandler};
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
