// The Hitachi simulation window under the offscreen platform: the frames its buttons hand on.
#include "engine/Drivers.h"
#include "engine/Engine.h"
#include "support/ManualTime.h"
#include "support/PtyPeer.h"
#include "support/TestDatabase.h"
#include "ui/DesktopUi.h"
#include "ui/frmComm.h"
#include "ui/frmSimulate.h"

#include <QTemporaryDir>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Quorlix;

namespace {

const QString STX(QChar(0x02));
const QString ETX(QChar(0x03));

} // namespace

class TestFrmSimulate : public QObject
{
    Q_OBJECT

private slots:
    void captionAndPresets();
    void inquiry();
    void results_data();
    void results();
    void anyButtonDoesNothing();
    void reachedFromTheMainWindow_data();
    void reachedFromTheMainWindow();

private:
    QStringList m_sent;
    frmSimulate* window();
    std::unique_ptr<frmSimulate> m_window;
};

frmSimulate* TestFrmSimulate::window()
{
    m_sent.clear();
    m_window = std::make_unique<frmSimulate>([this](const QString& frame) { m_sent << frame; });
    m_window->show();
    return m_window.get();
}

void TestFrmSimulate::captionAndPresets()
{
    frmSimulate* w = window();
    QCOMPARE(w->windowTitle(), QStringLiteral("Hitachi Simulation"));
    QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), QStringLiteral("10385236"));
    QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("tresult0"))->text(), QStringLiteral("72.38"));
    QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("tresult1"))->text(), QStringLiteral("321.5"));
    QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("tchannel0"))->text(), QString());
    QCOMPARE(w->findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("send 'ANY?'"));
    QCOMPARE(w->findChild<QPushButton*>(QStringLiteral("Command2"))->text(),
             QStringLiteral("Request Sample:"));
    QCOMPARE(w->findChild<QPushButton*>(QStringLiteral("Command3"))->text(),
             QStringLiteral("A sends Results"));
}

void TestFrmSimulate::inquiry()
{
    frmSimulate* w = window();
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    // Class A, mark blank, number "  1", disc 1, position " 1", id in 13, info "   3" + " ", date, time.
    const QString expected = STX + QStringLiteral(";A") + QStringLiteral(" ") + QStringLiteral("  1") +
                             QStringLiteral("1") + QStringLiteral(" 1") + QStringLiteral("     10385236") +
                             QStringLiteral("   3") + QStringLiteral(" ") + QStringLiteral("031992") +
                             QStringLiteral("1147") + ETX;
    QCOMPARE(m_sent, QStringList{expected});
    QCOMPARE(expected.size(), 39);
}

void TestFrmSimulate::results_data()
{
    QTest::addColumn<QStringList>("channels");   // one per row, "" for empty
    QTest::addColumn<QStringList>("values");     // one per row, "" keeps the preset
    QTest::addColumn<QString>("countAndBlocks"); // "" when nothing is sent

    QTest::newRow("channel 5 with 72.38") << QStringList{"5"} << QStringList{}
                                          << " 1"
                                             " 5 72.38 ";
    QTest::newRow("result cut to its last 6") << QStringList{"5"} << QStringList{"1234.5678"}
                                              << " 1"
                                                 " 54.5678 ";
    QTest::newRow("channel cut to its last 2") << QStringList{"123"} << QStringList{}
                                               << " 1"
                                                  "23 72.38 ";
    QTest::newRow("empty rows are skipped")
        << QStringList{"", "12", "", "3"} << QStringList{"", "", "", "1.5"}
        << " 2"
           "12 321.5 "
           " 3   1.5 ";
    QTest::newRow("no channel: nothing sent") << QStringList{} << QStringList{} << "";
}

void TestFrmSimulate::results()
{
    QFETCH(QStringList, channels);
    QFETCH(QStringList, values);
    QFETCH(QString, countAndBlocks);
    frmSimulate* w = window();
    for (int i = 0; i < channels.size(); ++i)
        w->findChild<QLineEdit*>(QStringLiteral("tchannel%1").arg(i))->setText(channels[i]);
    for (int i = 0; i < values.size(); ++i) {
        if (!values[i].isEmpty())
            w->findChild<QLineEdit*>(QStringLiteral("tresult%1").arg(i))->setText(values[i]);
    }
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    if (countAndBlocks.isEmpty()) {
        QCOMPARE(m_sent, QStringList());
        return;
    }
    const QString expected = STX + QStringLiteral(":A   11 1") + QStringLiteral("     10385236") +
                             QStringLiteral("   3 0319921147") + countAndBlocks + ETX;
    QCOMPARE(m_sent, QStringList{expected});
}

void TestFrmSimulate::anyButtonDoesNothing()
{
    frmSimulate* w = window();
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(m_sent, QStringList());
}

void TestFrmSimulate::reachedFromTheMainWindow_data()
{
    QTest::addColumn<QString>("outType");
    QTest::addColumn<bool>("offered");
    QTest::newRow("911 with a LIMS side") << "invH912" << true;
    QTest::newRow("911 alone") << "" << false;
}

void TestFrmSimulate::reachedFromTheMainWindow()
{
    // The running interface of a 911 with a LIMS side offers the simulation on its main window; the
    // window's inquiry reaches Hit911ReceiveWithLims, whose order reply goes to the analyzer line.
    QFETCH(QString, outType);
    Test::TestDatabase db("sqlite");
    QVERIFY2(db.ok(), qPrintable(db.error()));
    Test::PtyPeer analyzer;
    QTemporaryDir logs;
    Test::ManualTime time(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    Engine engine(time, time);
    Settings& s = engine.settings();
    s.AnalyzerId = "H1";
    s.AnalyzerType = "H911";
    s.ComLogPath = logs.path() + '/';
    if (!outType.isEmpty()) {
        s.OutType = outType;
        s.OutComPort = 2;
    }
    QCOMPARE(engine.database().open(db.target()), QString());
    PortConfig line;
    line.device = analyzer.slaveName();
    QCOMPARE(engine.analyzerPort().open(line), QString());
    DesktopUi ui(engine, true);
    engine.start();

    auto* button = ui.mainWindow().findChild<QPushButton*>("cmdSimulate");
    QVERIFY(button);
    QTEST(button->isVisibleTo(&ui.mainWindow()), "offered");
    if (!button->isVisibleTo(&ui.mainWindow()))
        return;
    QTest::mouseClick(button, Qt::LeftButton);
    frmSimulate* simulation = ui.mainWindow().simulation();
    QVERIFY(simulation);
    QCOMPARE(simulation->windowTitle(), QString("Hitachi Simulation"));
    QTest::mouseClick(simulation->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    const QByteArray reply = analyzer.readAtLeast(94);
    QVERIFY2(reply.startsWith("\x02;A") && reply.endsWith('\x03'), reply.constData());
    QCOMPARE(engine.log().recentLines().filter("A->H{STX};A   11 1     10385236   3 0319921147{ETX}").size(),
             1);
    engine.stop();
}

QTEST_MAIN(TestFrmSimulate)
#include "tst_frmsimulate.moc"
