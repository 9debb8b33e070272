#include "comm/LinkSupervisor.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Settings.h"
#include "support/FakeLine.h"

#include <QTest>

using namespace Quorlix;

namespace {

QDateTime T0()
{
    return QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0));
}

// The supervisor of one process with its link state, log and LIMS line.
struct Rig
{
    // The log lines, oldest first.
    QStringList lines() const
    {
        QStringList out = log.recentLines();
        std::reverse(out.begin(), out.end());
        return out;
    }

    ManualClock clock{T0()};
    QLocale locale{QLocale::German, QLocale::Germany};
    CommLog log{clock, locale};
    Settings settings;
    LinkState link;
    Test::FakeLine lims{&log, "LIMS port"};
    LinkSupervisor supervisor{link, settings, clock, log, lims};
};

} // namespace

class TestLinkSupervisor : public QObject
{
    Q_OBJECT

private slots:
    void secondBoundaries();
    void offlineOncePerTransition();
    void limsOfflineOnlyWhileAnalyzerOnline();
    void unsupervisedTypeStaysOnline();
    void wakeUpFrames();
};

void TestLinkSupervisor::secondBoundaries()
{
    const QDateTime a(QDate(2026, 12, 7), QTime(10, 0, 0, 999));
    QCOMPARE(SecondsSince(a, QDateTime(QDate(2026, 12, 7), QTime(10, 0, 1, 0))), 1);
    QCOMPARE(SecondsSince(a, QDateTime(QDate(2026, 12, 7), QTime(10, 0, 10, 999))), 10);
    QVERIFY(SecondsSince(QDateTime(), a) > 1000000);
}

void TestLinkSupervisor::offlineOncePerTransition()
{
    Rig r;
    r.link.LastAnalyzerInput = T0();
    r.link.LastLimsInput = T0();
    r.clock.advanceSeconds(10);
    QVERIFY(!r.supervisor.SuperviseLinks()); // 10 s is still online
    r.clock.advanceSeconds(1);
    QVERIFY(r.supervisor.SuperviseLinks());
    QVERIFY(!r.link.analyzerOnline);
    QVERIFY(!r.supervisor.SuperviseLinks());
    r.link.LastAnalyzerInput = r.clock.now();
    QVERIFY(r.supervisor.SuperviseLinks());
    QVERIFY(r.link.analyzerOnline);
    r.clock.advanceSeconds(20);
    r.supervisor.SuperviseLinks();
    QCOMPARE(r.lines(), (QStringList{"Monitor: ANALYZER OFFLINE!", "Monitor: ANALYZER OFFLINE!"}));
}

void TestLinkSupervisor::limsOfflineOnlyWhileAnalyzerOnline()
{
    // Nothing ever received: both go offline on the first tick; the analyzer's turn comes first.
    Rig r;
    r.supervisor.SuperviseLinks();
    QCOMPARE(r.lines(), QStringList{"Monitor: ANALYZER OFFLINE!"});
    QVERIFY(!r.link.limsOnline);

    Rig other;
    other.link.LastAnalyzerInput = other.clock.now();
    other.supervisor.SuperviseLinks();
    QCOMPARE(other.lines(), QStringList{"Monitor: LIMS OFFLINE!"});
}

void TestLinkSupervisor::unsupervisedTypeStaysOnline()
{
    Rig r;
    r.supervisor.configure(false, 0);
    QVERIFY(!r.supervisor.SuperviseLinks());
    QVERIFY(r.link.analyzerOnline);
    QVERIFY(r.log.recentLines().isEmpty());
}

void TestLinkSupervisor::wakeUpFrames()
{
    Rig r;
    r.supervisor.configure(true, 1);
    r.settings.OutId = "MGC240";
    r.settings.OutType = "invH912";
    r.settings.OutComPort = 2;
    r.supervisor.SuperviseLinks(); // analyzer goes offline: one wake-up; LIMS just went offline: none
    r.clock.advanceSeconds(3);
    r.supervisor.SuperviseLinks(); // analyzer still offline: one; LIMS still offline: one more
    QCOMPARE(r.lims.takeSent(), QString("\x02>\x03\x02>\x03\x02>\x03"));
    QCOMPARE(r.log.recentLines().count("07.12.2026 10:00:03     H->L{STX}>{ETX}"), 2);
}

QTEST_GUILESS_MAIN(TestLinkSupervisor)
#include "tst_linksupervisor.moc"
