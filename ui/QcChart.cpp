#include "QcChart.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace Quorlix {

namespace {

qreal X(const QDateTime& stamp)
{
    return static_cast<qreal>(stamp.toMSecsSinceEpoch());
}

// A horizontal line across the chart at a value.
QLineSeries* Level(qreal from, qreal to, double value, const QPen& pen)
{
    auto* line = new QLineSeries;
    line->append(from, value);
    line->append(to, value);
    line->setPen(pen);
    return line;
}

QScatterSeries* Points(const QColor& colour)
{
    auto* points = new QScatterSeries;
    points->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    points->setMarkerSize(9);
    points->setColor(colour);
    points->setBorderColor(colour.darker(130));
    return points;
}

QString Figure(double value)
{
    return QString::number(value, 'g', 4);
}

} // namespace

QString QcSeriesTitle(const QcSeries& series)
{
    QString parameter = series.parameterName;
    if (parameter != QString::number(series.parameterId))
        parameter += QStringLiteral(" (%1)").arg(series.parameterId);
    return QStringLiteral("%1 · %2 on %3").arg(series.controlId, parameter, series.analyzerId);
}

QString QcTargetsText(const ControlTargets& targets)
{
    if (!targets.usable())
        return QStringLiteral("no targets yet");
    QString text = QStringLiteral("mean %1, SD %2 (%3")
                       .arg(Figure(targets.mean), Figure(targets.sd), TargetSourceName(targets.source));
    if (targets.source != TargetSource::Assigned)
        text += QStringLiteral(", %1 results").arg(targets.resultCount);
    return text + QLatin1Char(')');
}

QChart* MakeQcChart(const QcSeries& series)
{
    auto* chart = new QChart;
    chart->setTitle(QcSeriesTitle(series) + QStringLiteral(": ") + QcTargetsText(series.targets));
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));

    qreal first = series.points.isEmpty() ? 0 : X(series.points.constFirst().stamp);
    qreal last = series.points.isEmpty() ? 0 : X(series.points.constLast().stamp);
    // The first and the last point stand clear of the chart's edges.
    const qreal pad = std::max((last - first) * 0.03, 30.0 * 60 * 1000);
    first -= pad;
    last += pad;

    auto* path = new QLineSeries;
    path->setPen(QPen(QColor(0x99, 0x99, 0x99), 1));
    QScatterSeries* inControl = Points(InControlColour);
    QScatterSeries* warned = Points(WarningColour);
    QScatterSeries* rejected = Points(RejectionColour);
    double low = series.points.isEmpty() ? 0 : series.points.constFirst().value;
    double high = low;
    for (const QcPoint& point : series.points) {
        const QPointF at(X(point.stamp), point.value);
        path->append(at);
        (point.rejection ? rejected : point.warning ? warned : inControl)->append(at);
        low = std::min(low, point.value);
        high = std::max(high, point.value);
    }

    QList<QAbstractSeries*> all;
    const ControlTargets& targets = series.targets;
    auto* value = new QValueAxis;
    if (targets.usable()) {
        QPen mean(QColor(0x2e, 0x7d, 0x32), 2);
        QPen one(QColor(0x90, 0x90, 0x90), 1, Qt::DotLine);
        QPen two(WarningColour, 1, Qt::DashLine);
        QPen three(RejectionColour, 1, Qt::DashLine);
        all << Level(first, last, targets.mean, mean);
        for (int k = 1; k <= 3; ++k) {
            const QPen& pen = k == 1 ? one : k == 2 ? two : three;
            all << Level(first, last, targets.mean + k * targets.sd, pen)
                << Level(first, last, targets.mean - k * targets.sd, pen);
        }
        // The value axis in whole SDs around the mean, a tick on each, as far as the farthest point.
        const double farthest = std::max(std::fabs(targets.zScore(low)), std::fabs(targets.zScore(high)));
        const int sds = std::min(12, std::max(4, static_cast<int>(std::ceil(farthest))));
        value->setRange(targets.mean - sds * targets.sd, targets.mean + sds * targets.sd);
        value->setTickCount(2 * sds + 1);
    } else {
        const double margin = high > low ? (high - low) * 0.05 : std::max(std::fabs(high) * 0.1, 1.0);
        value->setRange(low - margin, high + margin);
    }
    all << path << inControl << warned << rejected;

    auto* time = new QDateTimeAxis;
    // Days tell a month's controls apart; a day's or two need the hour.
    time->setFormat(last - first > 3.0 * 24 * 60 * 60 * 1000 ? QStringLiteral("yyyy-MM-dd")
                                                             : QStringLiteral("MM-dd HH:mm"));
    time->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first)),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last)));
    time->setTickCount(6);
    value->setLabelFormat(QStringLiteral("%.4g"));
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    for (QAbstractSeries* s : std::as_const(all)) {
        chart->addSeries(s);
        s->attachAxis(time);
        s->attachAxis(value);
    }
    return chart;
}

} // namespace Quorlix
