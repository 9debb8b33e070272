#pragma once

#include "FakeLine.h"
#include "ManualTime.h"
#include "TestDatabase.h"
#include "comm/LinkState.h"
#include "comm/PeriodicTasks.h"
#include "core/CommLog.h"
#include "core/InstanceStats.h"
#include "core/Settings.h"
#include "drivers/DriverServices.h"
#include "store/Store.h"

#include <QLocale>
#include <QStringList>

namespace Quorlix::Test {

// What a driver is built from, for tests: a fresh laboratory database, a manual clock with its
// timers, the communication log, fake analyzer and LIMS lines, the store, the link state and the
// periodic tasks. Nothing waits and no device is opened.
struct DriverRig
{
    explicit DriverRig(const QString& backend,
                       const QDateTime& start = QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40)));
    ~DriverRig();

    DriverServices services(LineHandler* analyzerHandler = nullptr);

    // Hands the handler a piece of input, as its line would.
    void deliver(LineHandler& handler, const QString& text);
    // Runs statements; a failing one fails the test.
    void exec(const QStringList& statements);
    // The Monitor lines logged so far, without their prefix, and the direction lines ("A->H" ...).
    QStringList monitor() const;
    QStringList lines() const { return log.recentLines(); }

    TestDatabase tdb;
    ManualTime time;
    // The counters, as an instance keeps them: frames as logged, records as stored, order replies
    // (before the log and the store, which count into them).
    InstanceStats stats;
    QLocale locale{QLocale::German, QLocale::Germany};
    CommLog log{time, locale};
    Settings settings;
    FakeLine analyzerLine{&log, QStringLiteral("analyzer port")};
    FakeLine limsLine{&log, QStringLiteral("LIMS port")};
    Store store{settings, tdb.db(), log, time, limsLine};
    LinkState link;
    PeriodicTasks tasks{time};

    // After every input and every timer, as when the event loop regains control, no statement
    // may be left active: the first time one is, the test fails at its end with what came before.
    void checkNoStatementLeftActive(const QString& after);

private:
    QString m_firstLeftActive;
};

} // namespace Quorlix::Test
