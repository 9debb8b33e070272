#include "core/Clock.h"
#include "core/CommandLine.h"
#include "engine/Engine.h"
#include "engine/Startup.h"
#include "support/ManualTime.h"
#include "ui/Desktop.h"
#include "ui/DesktopUi.h"
#include "ui/TrayIcon.h"
#include "ui/frmComm.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace Quorlix;

namespace {

QDateTime Start()
{
    return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
}

QStringList ActionTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << action->text();
    return texts;
}

QAction* ActionNamed(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void tipAndMenu();
    void viewCommunicationShowsTheWindow();
    void exitStopsTheEngine();
    void activation_data();
    void activation();
    void withTrayTheWindowStaysHidden();
    void desktopWithoutTrayShowsTheWindow();
    void failedStartupReturnsItsExitCode_data();
    void failedStartupReturnsItsExitCode();
};

void TestTray::tipAndMenu()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    frmComm window(engine);
    TrayIcon tray(engine, window, true);
    QCOMPARE(tray.icon().toolTip(), QStringLiteral("Vandrel Analyzer"));
    QCOMPARE(tray.icon().contextMenu(), tray.menu());
    QCOMPARE(ActionTexts(tray.menu()),
             QStringList({QStringLiteral("&View Communication"), QStringLiteral("&Quality control..."),
                          QStringLiteral("&Exit")}));
}

void TestTray::viewCommunicationShowsTheWindow()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    frmComm window(engine);
    TrayIcon tray(engine, window, true);
    QVERIFY(!window.isVisible());
    ActionNamed(tray.menu(), QStringLiteral("&View Communication"))->trigger();
    QVERIFY(window.isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

void TestTray::exitStopsTheEngine()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    QSignalSpy stopped(&engine, &Engine::stopped);
    frmComm window(engine);
    TrayIcon tray(engine, window, true);
    window.bringToFront();

    ActionNamed(tray.menu(), QStringLiteral("&Exit"))->trigger();
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!tray.icon().isVisible());
    QVERIFY(!window.isVisible());
}

void TestTray::activation_data()
{
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::addColumn<bool>("shown");
    QTest::newRow("double-click shows the window") << QSystemTrayIcon::DoubleClick << true;
    QTest::newRow("right button only pops up the menu") << QSystemTrayIcon::Context << false;
}

void TestTray::activation()
{
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    frmComm window(engine);
    TrayIcon tray(engine, window, true);
    emit tray.icon().activated(reason);
    QTEST(window.isVisible(), "shown");
}

void TestTray::withTrayTheWindowStaysHidden()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    frmComm window(engine);
    window.setWindowIcon(DesktopUi::DefaultIcon());
    TrayIcon tray(engine, window, true);
    tray.show();
    QVERIFY(!window.isVisible());
    QVERIFY(window.trayPresent());
}

void TestTray::desktopWithoutTrayShowsTheWindow()
{
    // The offscreen platform, like Xvfb, has no system tray.
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    DesktopUi ui(engine);
    QVERIFY(!ui.mainWindow().isVisible());
    ui.showTrayIcon();
    QVERIFY(ui.mainWindow().isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&ui.mainWindow()));
}

void TestTray::failedStartupReturnsItsExitCode_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("test not a number") << "/id=H1 /type=H911 /test=abc"
                                       << "/test=abc";
    QTest::newRow("no switches") << ""
                                 << "/id=NAME /type=TYPE";
    QTest::newRow("type unknown") << "/id=H1 /type=H999"
                                  << "\"H999\"";
}

void TestTray::failedStartupReturnsItsExitCode()
{
    QFETCH(QString, commandLine);
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    LaunchOptions options;
    QSignalSpy stopped(&engine, &Engine::stopped);
    QStringList told;
    QCOMPARE(RunDesktop(engine, options, commandLine, QDir::tempPath(),
                        [&told](const QString& message) { told << message; }),
             static_cast<int>(ExitConfiguration));
    QCOMPARE(told.size(), 1);
    QFETCH(QString, mentions);
    QVERIFY2(told.first().contains(mentions), qPrintable(told.first()));
    QCOMPARE(stopped.count(), 0);
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
