#include "ControlSeries.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace QuorlixSim {

namespace {

// The scatter of a control in control, in SD: 20 values of mean 0 and standard deviation 1 (so a
// host that takes its targets from the first 20 results finds the series' own mean and SD), spread
// like a normal sample but all within 2 SD and alternating about the mean, so that no Westgard rule
// fires on a series without shift or drift. Longer series repeat it.
constexpr std::array<double, 20> Scatter{0.479,  -1.202, 1.468,  -0.202, 0.064,  -1.862, 0.990,
                                         -0.638, 0.340,  -0.064, 1.862,  -0.809, 0.809,  -0.340,
                                         0.202,  -1.468, 1.202,  -0.479, 0.638,  -0.990};

constexpr int MaxCount = 10000;

int DecimalsOf(const QString& number)
{
    const qsizetype point = number.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(number.size() - point - 1);
}

// "K" or "K@I": K SD from result I (1 when not given).
bool ReadOffset(const QString& text, double& k, int& from)
{
    bool okK = true, okFrom = true;
    k = text.section(QLatin1Char('@'), 0, 0).toDouble(&okK);
    from = text.contains(QLatin1Char('@')) ? text.section(QLatin1Char('@'), 1).toInt(&okFrom) : 1;
    return okK && okFrom && from >= 1;
}

} // namespace

double ControlSeries::z(int i) const
{
    double offset = noise * Scatter[size_t((i - 1) % int(Scatter.size()))];
    if (i >= shiftFrom)
        offset += shift;
    if (i >= driftFrom)
        offset += drift * (i - driftFrom + 1);
    return offset;
}

QString ControlSeries::value(int i) const
{
    return QString::number(mean + sd * z(i), 'f', decimals);
}

QString ParseControlSeries(const QString& spec, ControlSeries& series)
{
    const QStringList parts = spec.split(QLatin1Char(':'));
    const QString form = QStringLiteral("ID:TEST:N:MEAN:SD[:shift=K@I][:drift=K@I][:noise=F][:every=MS]");
    if (parts.size() < 5 || parts.at(0).isEmpty() || parts.at(1).isEmpty())
        return QStringLiteral("control series \"%1\" is not %2").arg(spec, form);
    ControlSeries s;
    s.controlId = parts.at(0);
    s.test = parts.at(1);
    bool okCount = false, okMean = false, okSd = false;
    s.count = parts.at(2).toInt(&okCount);
    s.mean = parts.at(3).toDouble(&okMean);
    s.sd = parts.at(4).toDouble(&okSd);
    if (!okCount || s.count < 1 || s.count > MaxCount)
        return QStringLiteral("control series \"%1\": N is a count from 1 to %2").arg(spec).arg(MaxCount);
    if (!okMean || !okSd || !(s.sd > 0))
        return QStringLiteral("control series \"%1\": MEAN is a number and SD a number above 0").arg(spec);
    // One decimal more than the targets are written with, so that a result's z is close to exact.
    s.decimals = std::max(DecimalsOf(parts.at(3)), DecimalsOf(parts.at(4))) + 1;
    for (const QString& option : parts.mid(5)) {
        const QString name = option.section(QLatin1Char('='), 0, 0);
        const QString value = option.section(QLatin1Char('='), 1);
        bool ok = !value.isEmpty();
        if (name == QLatin1String("shift")) {
            ok = ok && ReadOffset(value, s.shift, s.shiftFrom);
        } else if (name == QLatin1String("drift")) {
            ok = ok && ReadOffset(value, s.drift, s.driftFrom);
        } else if (name == QLatin1String("noise")) {
            s.noise = value.toDouble(&ok);
            ok = ok && s.noise >= 0;
        } else if (name == QLatin1String("every")) {
            s.everyMs = value.toInt(&ok);
            ok = ok && s.everyMs >= 0;
        } else {
            ok = false;
        }
        if (!ok)
            return QStringLiteral("control series \"%1\": \"%2\" is not one of shift=K@I, drift=K@I, "
                                  "noise=F (0 or more), every=MS (0 or more)")
                .arg(spec, option);
    }
    series = s;
    return {};
}

QString ControlSeriesHelp()
{
    return QStringLiteral(
        "Control series (--control-series SERIES, or the script line control-series SERIES):\n"
        "  SERIES = ID:TEST:N:MEAN:SD[:shift=K@I][:drift=K@I][:noise=F][:every=MS]\n"
        "  N results of the control ID (an id the host's controlmask matches) for TEST (the channel of\n"
        "  a Hitachi or AU, the test code of an Indiko), one result frame or message each. The values\n"
        "  scatter about MEAN with SD after a fixed table (the same every time; its first 20 values\n"
        "  have exactly that mean and SD, none lies beyond 2 SD, none fires a Westgard rule), written\n"
        "  with one decimal more than MEAN or SD. shift=K@I: from result I on (default 1) every value\n"
        "  lies K SD off (K may be negative); drift=K@I: from result I on each value lies K SD further\n"
        "  off than the one before; noise=F scales the scatter (0: no scatter); every=MS pauses before\n"
        "  each result after the first (a host stamps results to the second: give 1000 or more for\n"
        "  results of distinct times). Indiko results carry measurement times one minute apart, the\n"
        "  last at the series' start. Each result is printed with its z. Example, a shift of 3.5 SD\n"
        "  from the 8th of 10 results of glucose (channel 1): QC0001:1:10:100:2:shift=3.5@8\n"
        "  --control-series SERIES (repeatable) sends its series after the script; without a SCRIPT the\n"
        "  role is --role NAME (default 911).\n");
}

} // namespace QuorlixSim
