#include "QcPdf.h"

#include "QcChart.h"

#include <QChart>
#include <QFileInfo>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace Quorlix {

namespace {

// The size a chart is laid out at before it is scaled onto the page, as on a screen.
const QSizeF ChartSize(1000, 440);

QString PeriodText(const QcPeriod& period)
{
    return QStringLiteral("Quality control %1 to %2")
        .arg(period.from.date().toString(Qt::ISODate), period.to.date().toString(Qt::ISODate));
}

void DrawChart(QPainter& painter, const QcSeries& series, const QRectF& target)
{
    QGraphicsScene scene;
    QChart* chart = MakeQcChart(series);
    scene.addItem(chart); // the scene owns it
    chart->resize(ChartSize);
    chart->layout()->activate();
    scene.render(&painter, target, QRectF(QPointF(0, 0), ChartSize));
}

QString EventLine(const QcEvent& event)
{
    return QStringLiteral("%1   %2   %3   parameter %4   %5 %6   z = %7")
        .arg(event.stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), event.analyzerId, event.controlId)
        .arg(event.parameterId)
        .arg(event.rule, event.severity)
        .arg(event.zScore, 0, 'f', 2);
}

} // namespace

QString WriteQcPdf(const QcPeriod& period, const QString& file)
{
    QPdfWriter writer(file);
    writer.setResolution(96); // the chart's fonts and pens keep their screen proportions
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setTitle(PeriodText(period));
    writer.setCreator(QStringLiteral("Quorlix"));
    QPainter painter;
    if (!painter.begin(&writer))
        return QStringLiteral("cannot write %1").arg(file);

    const QRectF page = writer.pageLayout().paintRectPixels(writer.resolution());
    const qreal line = painter.fontMetrics().height() * 1.4;
    const qreal chartHeight = page.width() * ChartSize.height() / ChartSize.width();
    qreal y = 0;
    const auto room = [&](qreal height) {
        if (y > 0 && y + height > page.height()) {
            writer.newPage();
            y = 0;
        }
    };
    QFont heading = painter.font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    painter.setFont(heading);
    painter.drawText(QRectF(0, y, page.width(), line * 1.3), PeriodText(period));
    painter.setFont(QFont());
    y += line * 1.6;
    if (period.series.isEmpty()) {
        painter.drawText(QRectF(0, y, page.width(), line),
                         QStringLiteral("No control results in this period."));
        y += line;
    }
    for (const QcSeries& series : period.series) {
        room(chartHeight);
        DrawChart(painter, series, QRectF(0, y, page.width(), chartHeight));
        y += chartHeight + line;
    }
    if (period.truncated) {
        room(line);
        painter.drawText(
            QRectF(0, y, page.width(), line),
            QStringLiteral("The period holds more results than one report shows; choose fewer days."));
        y += line;
    }
    room(line * 2);
    painter.setFont(heading);
    painter.drawText(QRectF(0, y, page.width(), line * 1.3), QStringLiteral("Rule events"));
    painter.setFont(QFont());
    y += line * 1.4;
    if (period.events.isEmpty()) {
        painter.drawText(QRectF(0, y, page.width(), line), QStringLiteral("None."));
        y += line;
    }
    for (const QcEvent& event : period.events) {
        room(line);
        painter.setPen(event.severity == QLatin1String("rejection") ? RejectionColour : QColor(Qt::black));
        painter.drawText(QRectF(0, y, page.width(), line), EventLine(event));
        y += line;
    }
    if (!painter.end() || QFileInfo(file).size() == 0)
        return QStringLiteral("cannot write %1").arg(file);
    return {};
}

} // namespace Quorlix
