#include "core/Clock.h"
#include "engine/Engine.h"
#include "support/ManualTime.h"
#include "ui/DesktopUi.h"
#include "ui/frmComm.h"
#include "ui/frmReqMonitor.h"
#include "ui/frmSplash.h"

#include "support/TestDatabase.h"

#include <QAbstractItemView>
#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

using namespace Quorlix;

namespace {

QDateTime Start()
{
    return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
}

QStringList ViewLines(frmComm& window)
{
    const QString text = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QPushButton* ButtonOf(QWidget& window, const char* name)
{
    return window.findChild<QPushButton*>(QLatin1String(name));
}

QLabel* LabelOf(QWidget& window, const char* name)
{
    return window.findChild<QLabel*>(QLatin1String(name));
}

// Counts the paint events a widget receives.
class PaintCounter final : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestFrmComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void captions_data();
    void captions();
    void newestLineOnTop();
    void keepsTheRecentLinesOnly();
    void lineBreakInAMonitorTextStaysOneLine();
    void readerKeepsHisPlaceWhileLinesArrive();
    void linkStatus_data();
    void linkStatus();
    void closeView_data();
    void closeView();
    void stopCommunicationStopsTheEngine();
    void requestMonitorOpensOnceNotModal();
    void captionAndIcon();
    void everyTypeHasItsOwnIcon();
    void splashShowsProgressAtOnce();

private:
    QLocale m_locale{QLocale::English, QLocale::UnitedStates};
};

void TestFrmComm::initTestCase()
{
    QLocale::setDefault(m_locale);
}

void TestFrmComm::captions_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("bold");
    QTest::newRow("Label4") << "Label4"
                            << "Analyzer" << true;
    QTest::newRow("Label3") << "Label3"
                            << "LIMS" << true;
    QTest::newRow("Label1") << "Label1"
                            << "online" << false;
    QTest::newRow("Label2") << "Label2"
                            << "online" << false;
    QTest::newRow("Command1") << "Command1"
                              << "Close View" << false;
    QTest::newRow("Command2") << "Command2"
                              << "Stop Communication" << false;
    QTest::newRow("Command3") << "Command3"
                              << "Request Monitor" << false;
}

void TestFrmComm::captions()
{
    QFETCH(QString, control);
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    frmComm window(engine);
    QVERIFY(!window.isVisible()); // the main window starts hidden
    auto* widget = window.findChild<QWidget*>(control);
    QVERIFY(widget);
    const QString text = qobject_cast<QLabel*>(widget) ? qobject_cast<QLabel*>(widget)->text()
                                                       : qobject_cast<QPushButton*>(widget)->text();
    QTEST(text, "caption");
    QTEST(widget->font().bold(), "bold");
}

void TestFrmComm::newestLineOnTop()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    engine.setLocale(m_locale);
    engine.log().logall(QStringLiteral("\x02>\x03"), Direction::AnalyzerToHost); // before the window existed
    frmComm window(engine);
    clock.advanceSeconds(1);
    engine.log().logall(QStringLiteral("\x02;A\x03"), Direction::HostToLims);
    engine.log().monitor(QStringLiteral("ANALYZER OFFLINE!"));
    QCOMPARE(ViewLines(window), QStringList({QStringLiteral("Monitor: ANALYZER OFFLINE!"),
                                             QStringLiteral("3/5/2024 2:07:10 PM     H->L{STX};A{ETX}"),
                                             QStringLiteral("3/5/2024 2:07:09 PM  A->H{STX}>{ETX}")}));
}

void TestFrmComm::keepsTheRecentLinesOnly()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    for (int i = 1; i <= 10; ++i)
        engine.log().monitor(QStringLiteral("before %1").arg(i));
    frmComm window(engine);
    const int total = CommLog::MaxRecentLines + 25;
    for (int i = 1; i <= total; ++i)
        engine.log().monitor(QStringLiteral("line %1").arg(i));

    const QStringList lines = ViewLines(window);
    QCOMPARE(lines.size(), CommLog::MaxRecentLines);
    QCOMPARE(lines.first(), QStringLiteral("Monitor: line %1").arg(total));
    QCOMPARE(lines.last(), QStringLiteral("Monitor: line %1").arg(total - CommLog::MaxRecentLines + 1));
    // The window shows what the log keeps, in the same order.
    QCOMPARE(lines, engine.log().recentLines());
}

void TestFrmComm::lineBreakInAMonitorTextStaysOneLine()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    frmComm window(engine);
    engine.log().monitor(QStringLiteral("older"));
    engine.log().monitor(QStringLiteral("database error:\nconnection reset\r\n"));
    const QStringList lines = ViewLines(window);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Monitor: database error: connection reset  "));
    QCOMPARE(lines.at(1), QStringLiteral("Monitor: older"));
}

void TestFrmComm::readerKeepsHisPlaceWhileLinesArrive()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    frmComm window(engine);
    window.resize(600, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (int i = 1; i <= 200; ++i)
        engine.log().monitor(QStringLiteral("line %1").arg(i));
    auto* view = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    QScrollBar* bar = view->verticalScrollBar();
    QCOMPARE(bar->value(), 0); // at the top the newest line is in view

    bar->setValue(50);
    const QString shown = view->cursorForPosition(QPoint(2, 2)).block().text();
    engine.log().monitor(QStringLiteral("line 201"));
    engine.log().monitor(QStringLiteral("line 202"));
    QCOMPARE(view->cursorForPosition(QPoint(2, 2)).block().text(), shown);
}

void TestFrmComm::linkStatus_data()
{
    QTest::addColumn<bool>("analyzerOnline");
    QTest::addColumn<bool>("limsOnline");
    QTest::addColumn<QString>("analyzerText");
    QTest::addColumn<QString>("limsText");
    QTest::newRow("both online") << true << true << "online"
                                 << "online";
    QTest::newRow("analyzer offline") << false << true << "offline"
                                      << "online";
    QTest::newRow("LIMS offline") << true << false << "online"
                                  << "offline";
    QTest::newRow("both offline") << false << false << "offline"
                                  << "offline";
}

void TestFrmComm::linkStatus()
{
    QFETCH(bool, analyzerOnline);
    QFETCH(bool, limsOnline);
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    frmComm window(engine);

    engine.link().analyzerOnline = analyzerOnline;
    engine.link().limsOnline = limsOnline;
    emit engine.linkStatusChanged();

    const QColor green(0, 255, 0); // 65280
    const QColor red(255, 0, 0);   // 255
    QTEST(LabelOf(window, "Label1")->text(), "analyzerText");
    QTEST(LabelOf(window, "Label2")->text(), "limsText");
    QCOMPARE(LabelOf(window, "Label1")->palette().color(QPalette::Window), analyzerOnline ? green : red);
    QCOMPARE(LabelOf(window, "Label2")->palette().color(QPalette::Window), limsOnline ? green : red);
}

void TestFrmComm::closeView_data()
{
    QTest::addColumn<bool>("trayPresent");
    QTest::newRow("tray: hidden, the tray brings it back") << true;
    QTest::newRow("no tray: minimised, never out of reach") << false;
}

void TestFrmComm::closeView()
{
    QFETCH(bool, trayPresent);
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    QSignalSpy stopped(&engine, &Engine::stopped);
    frmComm window(engine);
    window.setTrayPresent(trayPresent);

    for (const bool viaCloseButton : {false, true}) {
        window.bringToFront();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (viaCloseButton)
            window.close();
        else
            ButtonOf(window, "Command1")->click();
        QCOMPARE(window.isVisible(), !trayPresent);
        QCOMPARE(window.isMinimized(), !trayPresent);
    }
    QCOMPARE(stopped.count(), 0);
}

void TestFrmComm::stopCommunicationStopsTheEngine()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    QSignalSpy stopped(&engine, &Engine::stopped);
    frmComm window(engine);
    window.bringToFront();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    ButtonOf(window, "Command2")->click();
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!window.isVisible());
    window.bringToFront(); // an unloaded window does not come back
    QVERIFY(!window.isVisible());
}

void TestFrmComm::requestMonitorOpensOnceNotModal()
{
    Test::TestDatabase testDb(QStringLiteral("sqlite"));
    QVERIFY2(testDb.ok(), qPrintable(testDb.error()));
    testDb.exec(QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (1, 'GLU')"));
    testDb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 1)"));
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    QCOMPARE(engine.database().open(testDb.target()), QString());
    frmComm window(engine);
    window.bringToFront();

    ButtonOf(window, "Command3")->click();
    QPointer<frmReqMonitor> monitor = window.requestMonitor();
    QVERIFY(monitor);
    QVERIFY(monitor->isVisible());
    QVERIFY(!monitor->isModal());
    QVERIFY(monitor->isWindow());
    QCOMPARE(monitor->windowTitle(), QStringLiteral("Req Monitor"));
    QCOMPARE(monitor->findChild<QAbstractItemView*>(QStringLiteral("DataGrid1"))->model()->rowCount(), 1);

    ButtonOf(window, "Command3")->click();
    QCOMPARE(window.requestMonitor(), monitor.data());

    monitor->close();
    QTRY_VERIFY(!monitor);
    QVERIFY(!window.requestMonitor());
    QVERIFY(window.isVisible());
}

void TestFrmComm::captionAndIcon()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    DesktopUi ui(engine, true);
    frmComm& window = ui.mainWindow();
    const QImage defaultIcon = window.windowIcon().pixmap(32).toImage();
    QVERIFY(!defaultIcon.isNull());

    ui.setWindowCaption(QStringLiteral("Hitachi911 at serial port: com1"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Hitachi911 at serial port: com1"));

    // A missing or unreadable file is reported and the default icon stays.
    QTemporaryDir dir;
    QFile notAnImage(dir.filePath(QStringLiteral("H911.ico")));
    QVERIFY(notAnImage.open(QIODevice::WriteOnly));
    notAnImage.write("not an icon");
    notAnImage.close();
    QVERIFY(!ui.setWindowIcon(dir.filePath(QStringLiteral("XYZ.ico"))));
    QVERIFY(!ui.setWindowIcon(notAnImage.fileName()));
    QCOMPARE(window.windowIcon().pixmap(32).toImage(), defaultIcon);

    const QString icon = QFINDTESTDATA("../../icons/H911.ico");
    QVERIFY(ui.setWindowIcon(icon));
    QCOMPARE(window.windowIcon().pixmap(32).toImage(), QImage(icon).scaled(32, 32));
    QVERIFY(!window.isVisible());
}

void TestFrmComm::everyTypeHasItsOwnIcon()
{
    const QString folder = QFINDTESTDATA("../../icons");
    QVERIFY(!folder.isEmpty());
    const QStringList types = {"H911", "H902", "H912", "OAU400", "OAU600",     "OAU680", "IND",
                               "DSX",  "ACT",  "Mira", "MGC",    "MGC_ONLINE", "INPUT"};
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    DesktopUi ui(engine, true);
    QSet<QByteArray> seen;
    for (const QString& type : types) {
        const QString path = QDir(folder).filePath(type + QStringLiteral(".ico"));
        QVERIFY2(ui.setWindowIcon(path), qPrintable(path));
        const QImage image(path);
        const QByteArray digest = QCryptographicHash::hash(
            QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()),
            QCryptographicHash::Sha1);
        QVERIFY2(!seen.contains(digest),
                 qPrintable(type + QStringLiteral(" looks like another type's icon")));
        seen.insert(digest);
    }
}

void TestFrmComm::splashShowsProgressAtOnce()
{
    Test::ManualTime clock(Start());
    Engine engine(clock, clock);
    DesktopUi ui(engine, true);
    ui.showSplash();
    frmSplash* splash = ui.splash();
    QVERIFY(splash);
    QVERIFY(splash->isVisible());
    QLabel* status = LabelOf(*splash, "Label1");
    QLabel* title = LabelOf(*splash, "Label2");
    QCOMPARE(status->text(), QStringLiteral("Vandrel Database is loading..."));
    QCOMPARE(title->text(), QStringLiteral("Analyzer2Host communication for HIT911"));
    QVERIFY(splash->findChild<QFrame*>(QStringLiteral("Frame1")));
    QVERIFY(!LabelOf(*splash, "Image1")->pixmap().isNull());

    // The start-up runs no event loop between its steps: each text is painted when it is set.
    PaintCounter counter;
    status->installEventFilter(&counter);
    ui.setSplashStatus(QStringLiteral("Connecting 2 DB ... "));
    QCOMPARE(status->text(), QStringLiteral("Connecting 2 DB ... "));
    QVERIFY(counter.paints > 0);
    QVERIFY(status->width() >= status->sizeHint().width());

    ui.setSplashTitle(QStringLiteral("Hitachi911 - Communication loading ... "));
    QCOMPARE(title->text(), QStringLiteral("Hitachi911 - Communication loading ... "));
    QVERIFY(title->width() >= title->sizeHint().width());

    ui.hideSplash();
    QVERIFY(!ui.splash());
    QVERIFY(!ui.mainWindow().isVisible());
}

QTEST_MAIN(TestFrmComm)
#include "tst_frmcomm.moc"
