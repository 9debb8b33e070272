#include "comm/Engine.h"
#include "comm/LinkSupervisor.h"

#include "support/PtyPeer.h"

#include <QTest>

using namespace Quorlix;

namespace {

QDateTime T0()
{
    return QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0));
}

QStringList Monitor(Engine& engine)
{
    QStringList lines = engine.log().recentLines();
    std::reverse(lines.begin(), lines.end());
    return lines;
}

} // namespace

class TestLinkSupervisor : public QObject
{
    Q_OBJECT

private slots:
    void secondBoundaries();
    void offlineOncePerTransition();
    void limsOfflineOnlyWhileAnalyzerOnline();
    void mgcIsNotSupervised();
    void wakeUpFramesForMgc240();
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
    ManualClock clock(T0());
    Engine engine(clock);
    Context& c = engine.context();
    c.link.LastAnalyzerInput = T0();
    c.link.LastLimsInput = T0();
    clock.advanceSeconds(10);
    QVERIFY(!SuperviseLinks(c)); // 10 s is still online
    clock.advanceSeconds(1);
    QVERIFY(SuperviseLinks(c));
    QVERIFY(!c.link.analyzerOnline);
    QVERIFY(!SuperviseLinks(c));
    c.link.LastAnalyzerInput = clock.now();
    QVERIFY(SuperviseLinks(c));
    QVERIFY(c.link.analyzerOnline);
    clock.advanceSeconds(20);
    SuperviseLinks(c);
    QCOMPARE(Monitor(engine), (QStringList{"Monitor: ANALYZER OFFLINE!", "Monitor: ANALYZER OFFLINE!"}));
}

void TestLinkSupervisor::limsOfflineOnlyWhileAnalyzerOnline()
{
    ManualClock clock(T0());
    Engine engine(clock);
    Context& c = engine.context();
    // Nothing ever received: both go offline on the first tick; the analyzer's turn comes first.
    SuperviseLinks(c);
    QCOMPARE(Monitor(engine), QStringList{"Monitor: ANALYZER OFFLINE!"});
    QVERIFY(!c.link.limsOnline);

    Engine other(clock);
    other.context().link.LastAnalyzerInput = clock.now();
    SuperviseLinks(other.context());
    QCOMPARE(Monitor(other), QStringList{"Monitor: LIMS OFFLINE!"});
}

void TestLinkSupervisor::mgcIsNotSupervised()
{
    ManualClock clock(T0());
    Engine engine(clock);
    engine.context().settings.AnalyzerType = "MGC";
    QVERIFY(!SuperviseLinks(engine.context()));
    QVERIFY(engine.context().link.analyzerOnline);
    QVERIFY(engine.log().recentLines().isEmpty());
}

void TestLinkSupervisor::wakeUpFramesForMgc240()
{
    Test::PtyPeer lims;
    QVERIFY(lims.ok());
    ManualClock clock(T0());
    Engine engine(clock);
    Context& c = engine.context();
    c.locale = QLocale(QLocale::German, QLocale::Germany);
    c.settings.OutId = "MGC240";
    c.settings.OutType = "invH912";
    c.settings.OutComPort = 2;
    QMap<int, QString> devices{{2, lims.slaveName()}};
    QCOMPARE(engine.limsPort().open(ResolvePort(2, devices)), QString());

    SuperviseLinks(c); // analyzer goes offline: one wake-up; LIMS just went offline: none
    clock.advanceSeconds(3);
    SuperviseLinks(c); // analyzer still offline: one; LIMS still offline: one more
    QCOMPARE(lims.readAtLeast(9), QByteArray("\x02>\x03\x02>\x03\x02>\x03"));
    QCOMPARE(engine.log().recentLines().count("07.12.2026 10:00:03     H->L{STX}>{ETX}"), 2);
    engine.stop();
}

QTEST_GUILESS_MAIN(TestLinkSupervisor)
#include "tst_linksupervisor.moc"
