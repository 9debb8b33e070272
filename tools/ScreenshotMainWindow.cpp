// screenshot-main-window: draws the main window as an operator sees it during a short Hitachi 911
// conversation and saves it as a PNG (the README picture). Run it on a real X server, for example
// under xvfb-run; scripts/screenshot-main-window.sh does that.

#include "core/Clock.h"
#include "core/FrameText.h"
#include "core/Timer.h"
#include "engine/Engine.h"
#include "engine/Startup.h"
#include "ui/DesktopUi.h"
#include "ui/frmComm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QWindow>

#include <cstdio>

using namespace Quorlix;

namespace {

// The identification part shared by the inquiry, the order reply and the result frame: number,
// disc, position, sample id, two info fields, date (MMDDYY) and time (hhmm).
QString Identification(const QString& number, const QString& sampleId, const QString& position)
{
    return RightAligned(number, 3) + QLatin1Char('1') + RightAligned(position, 2) +
           RightAligned(sampleId, 13) + QLatin1String("    ") + QLatin1Char(' ') + QLatin1String("111425") +
           QLatin1String("0912");
}

QString Frame(const QString& body)
{
    return Stx + body + Etx;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot-main-window OUTPUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    ManualClock clock(QDateTime(QDate(2025, 11, 14), QTime(9, 11, 48)));
    EventLoopTimers timers;
    Engine engine(clock, timers);
    engine.setLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    Settings& s = engine.settings();
    s.AnalyzerId = QStringLiteral("HIT911");
    s.AnalyzerType = QStringLiteral("H911");
    s.AnalyzerComPort = 1;

    DesktopUi ui(engine, false);
    ui.setWindowCaption(WindowCaption(s.AnalyzerId, 1));
    ui.setWindowIcon(IconPath(QCoreApplication::applicationDirPath() + QLatin1Char('/'),
                              s.AnalyzerType + QLatin1String(".ico")));

    CommLog& log = engine.log();
    const auto at = [&](int seconds) { clock.advanceSeconds(seconds); };
    log.monitor(QStringLiteral("LIMS OFFLINE!"));
    at(7);
    log.logall(Frame(QStringLiteral(">")), Direction::AnalyzerToHost);
    log.logall(Frame(QStringLiteral(">")), Direction::HostToAnalyzer);
    at(5);
    const QString id =
        Identification(QStringLiteral("17"), QStringLiteral("2411140017"), QStringLiteral("12"));
    log.logall(Frame(QStringLiteral(";A ") + id), Direction::AnalyzerToHost);
    log.monitor(QStringLiteral("spe"));
    const QString selection = QStringLiteral("110100000001") + QString(36, QLatin1Char('0'));
    log.logall(Frame(QStringLiteral(";A ") + id + QStringLiteral("48") + selection + QStringLiteral("00000")),
               Direction::HostToAnalyzer);
    at(9);
    log.logall(Frame(QStringLiteral(">")), Direction::AnalyzerToHost);
    log.logall(Frame(QStringLiteral(">")), Direction::HostToAnalyzer);
    at(184);
    const QString results = QStringLiteral("04") + QStringLiteral("01   98.4 ") +
                            QStringLiteral("02   0.91 ") + QStringLiteral("04   31.0 ") +
                            QStringLiteral("12    2.7H");
    log.logall(Frame(QStringLiteral(":b ") + id + results), Direction::AnalyzerToHost);
    log.monitor(QStringLiteral("received sample : batchmode"));
    log.logall(Frame(QStringLiteral(">")), Direction::HostToAnalyzer);
    at(6);
    log.logall(Frame(QStringLiteral(">")), Direction::AnalyzerToHost);
    log.logall(Frame(QStringLiteral(">")), Direction::HostToAnalyzer);

    // The analyzer talks, the LIMS side is silent (none is configured).
    engine.link().analyzerOnline = true;
    engine.link().limsOnline = false;
    emit engine.linkStatusChanged();

    frmComm& window = ui.mainWindow();
    window.resize(1000, 420);
    ui.showTrayIcon(); // no tray here: the window itself is shown
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        std::fprintf(stderr, "screenshot-main-window: the window was not shown\n");
        return 1;
    }
    // Let the first paints and the layout settle before the picture is taken.
    const qint64 exposedAt = waited.elapsed();
    while (waited.elapsed() < exposedAt + 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!window.grab().save(out, "PNG")) {
        std::fprintf(stderr, "screenshot-main-window: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
