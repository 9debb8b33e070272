// quorlix-mgc-sim: plays the MGC240's control software on its database (a SQLite file with the
// analyzer's tables): it measures the samples quorlix orders there and writes calibrations.

#include "MgcSimulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>

using namespace QuorlixMgcSim;

namespace {

void Print(const QString& text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString Usage()
{
    return QStringLiteral(
        "Usage: quorlix-mgc-sim --db FILE [--init] [--calibrate ITEM,ITEM...] [--once | --interval MS "
        "--duration S]\n"
        "Plays the MGC240's control software on its database FILE (SQLite): every round it measures\n"
        "the samples ordered in samp_odr/samp_dat (data_state 3 with a concentration and the time,\n"
        "samp_state 3).\n"
        "  --init       create the analyzer's tables when missing and name items 1..12 (GLU, CREA, ...)\n"
        "  --calibrate  write a calibration of these items now (blank absorbance missing)\n"
        "  --once       one round, then end\n"
        "  --interval   time between rounds (default 1000 ms); --duration: end after S seconds (default "
        "60)\n");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QString file;
    bool init = false;
    bool once = false;
    bool play = false; // --interval or --duration given
    int intervalMs = 1000;
    int durationS = 60;
    QList<int> calibrate;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const QString next = args.value(i + 1);
        if (a == QLatin1String("--db")) {
            file = next;
            ++i;
        } else if (a == QLatin1String("--init")) {
            init = true;
        } else if (a == QLatin1String("--once")) {
            once = true;
        } else if (a == QLatin1String("--interval")) {
            intervalMs = next.toInt();
            play = true;
            ++i;
        } else if (a == QLatin1String("--duration")) {
            durationS = next.toInt();
            play = true;
            ++i;
        } else if (a == QLatin1String("--calibrate")) {
            for (const QString& item : next.split(QLatin1Char(','), Qt::SkipEmptyParts))
                calibrate << item.toInt();
            ++i;
        } else {
            Print(Usage());
            return a == QLatin1String("--help") ? 0 : 2;
        }
    }
    if (file.isEmpty()) {
        Print(Usage());
        return 2;
    }

    MgcSimulator sim;
    QString error = sim.open(file, init);
    if (error.isEmpty() && init)
        error = sim.init();
    QStringList report;
    if (error.isEmpty() && !calibrate.isEmpty())
        error = sim.calibrate(calibrate, &report);
    for (const QString& line : std::as_const(report))
        Print(line);
    if (!error.isEmpty()) {
        Print(QStringLiteral("quorlix-mgc-sim: ") + error);
        return 1;
    }
    if ((init || !calibrate.isEmpty()) && !once && !play)
        return 0; // set up only

    const QDeadlineTimer end(qint64(durationS) * 1000);
    do {
        report.clear();
        error = sim.measure(&report);
        for (const QString& line : std::as_const(report))
            Print(line);
        if (!error.isEmpty())
            Print(QStringLiteral("quorlix-mgc-sim: ") + error); // the analyzer's program goes on
        if (once)
            break;
        QThread::msleep(ulong(qMax(10, intervalMs)));
    } while (!end.hasExpired());
    return 0;
}
