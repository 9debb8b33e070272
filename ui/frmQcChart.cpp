#include "frmQcChart.h"

#include "QcChart.h"
#include "QcPdf.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>

namespace Quorlix {

namespace {

constexpr int ChartHeight = 280;

QDateEdit* DayEdit(const QString& name, const QDate& day, QWidget* parent)
{
    auto* edit = new QDateEdit(day, parent);
    edit->setObjectName(name);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return edit;
}

QPushButton* Button(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLabel* Legend(const QString& text, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(
        QStringLiteral("<span style=\"color:%1\">&#9679;</span> %2").arg(colour.name(), text), parent);
    label->setTextFormat(Qt::RichText);
    return label;
}

QList<QStandardItem*> EventRow(const QcEvent& event)
{
    QList<QStandardItem*> row{new QStandardItem(event.stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                              new QStandardItem(event.analyzerId),
                              new QStandardItem(event.controlId),
                              new QStandardItem(QString::number(event.parameterId)),
                              new QStandardItem(event.rule),
                              new QStandardItem(event.severity),
                              new QStandardItem(QString::asprintf("%+.2f", event.zScore))};
    if (event.severity == QLatin1String("rejection")) {
        for (QStandardItem* item : row)
            item->setForeground(RejectionColour);
    }
    return row;
}

} // namespace

frmQcChart::frmQcChart(Database& db, const QString& analyzerId, const QDate& today, QWidget* parent)
    : QWidget(parent, Qt::Window), m_db(db), m_ownAnalyzer(analyzerId)
{
    setObjectName(QStringLiteral("frmQcChart"));
    setWindowTitle(QStringLiteral("Quality control"));

    m_from = DayEdit(QStringLiteral("dtpFrom"), today.addDays(-29), this);
    m_to = DayEdit(QStringLiteral("dtpTo"), today, this);
    m_analyzer = new QComboBox(this);
    m_analyzer->setObjectName(QStringLiteral("cboAnalyzer"));
    m_analyzer->addItem(QStringLiteral("All analyzers"), QString());
    if (!analyzerId.isEmpty()) {
        m_analyzer->addItem(analyzerId, analyzerId);
        m_analyzer->setCurrentIndex(1);
    }
    auto* show = Button(QStringLiteral("cmdShow"), QStringLiteral("Show"), this);
    auto* exportPdf = Button(QStringLiteral("cmdExportPdf"), QStringLiteral("Export PDF..."), this);

    auto* period = new QHBoxLayout;
    period->addWidget(new QLabel(QStringLiteral("From"), this));
    period->addWidget(m_from);
    period->addWidget(new QLabel(QStringLiteral("to"), this));
    period->addWidget(m_to);
    period->addSpacing(12);
    period->addWidget(new QLabel(QStringLiteral("Analyzer"), this));
    period->addWidget(m_analyzer);
    period->addWidget(show);
    period->addStretch(1);
    period->addWidget(Legend(QStringLiteral("in control"), InControlColour, this));
    period->addWidget(Legend(QStringLiteral("warning"), WarningColour, this));
    period->addWidget(Legend(QStringLiteral("rejection"), RejectionColour, this));
    period->addSpacing(12);
    period->addWidget(exportPdf);

    m_charts = new QWidget(this);
    m_chartLayout = new QVBoxLayout(m_charts);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrCharts"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_charts);

    m_events = new QStandardItemModel(0, 7, this);
    m_events->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Analyzer"),
                                         QStringLiteral("Control"), QStringLiteral("Parameter"),
                                         QStringLiteral("Rule"), QStringLiteral("Severity"),
                                         QStringLiteral("z")});
    m_eventGrid = new QTableView(this);
    m_eventGrid->setObjectName(QStringLiteral("grdEvents"));
    m_eventGrid->setModel(m_events);
    m_eventGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_eventGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_eventGrid->verticalHeader()->hide();
    m_eventGrid->horizontalHeader()->setStretchLastSection(true);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(scroll);
    split->addWidget(m_eventGrid);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    split->setSizes({600, 150});

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(period);
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    resize(980, 760);

    m_choosePdfFile = [this] {
        return QFileDialog::getSaveFileName(
            this, QStringLiteral("Export PDF"),
            QStringLiteral("qc-%1-%2.pdf")
                .arg(m_from->date().toString(Qt::ISODate), m_to->date().toString(Qt::ISODate)),
            QStringLiteral("PDF (*.pdf)"));
    };
    connect(show, &QPushButton::clicked, this, &frmQcChart::reload);
    connect(exportPdf, &QPushButton::clicked, this, &frmQcChart::exportWithChooser);
    reload();
}

void frmQcChart::reload()
{
    const QString analyzerId = m_analyzer->currentData().toString();
    const DbOutcome read = LoadQcPeriod(m_db, m_from->date().startOfDay(),
                                        QDateTime(m_to->date(), QTime(23, 59, 59)), analyzerId, &m_period);
    showPeriod();
    if (!read.ok()) {
        m_status->setText(QStringLiteral("The control results cannot be read: %1").arg(read.error));
        return;
    }
    // The analyzers found in all results become choices of their own.
    for (const QcSeries& series : std::as_const(m_period.series)) {
        if (m_analyzer->findData(series.analyzerId) < 0)
            m_analyzer->addItem(series.analyzerId, series.analyzerId);
    }
    QString status =
        QStringLiteral("%1 charts, %2 rule events").arg(m_chartCount).arg(m_period.events.size());
    if (m_period.truncated)
        status += QStringLiteral("; the period holds more results than shown: choose fewer days");
    m_status->setText(status);
}

void frmQcChart::showPeriod()
{
    while (QLayoutItem* item = m_chartLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_chartCount = 0;
    for (const QcSeries& series : std::as_const(m_period.series)) {
        auto* view = new QChartView(MakeQcChart(series), m_charts);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumHeight(ChartHeight);
        m_chartLayout->addWidget(view);
        ++m_chartCount;
    }
    if (m_chartCount == 0)
        m_chartLayout->addWidget(new QLabel(QStringLiteral("No control results in this period."), m_charts));
    m_chartLayout->addStretch(1);

    m_events->removeRows(0, m_events->rowCount());
    for (const QcEvent& event : std::as_const(m_period.events))
        m_events->appendRow(EventRow(event));
    m_eventGrid->resizeColumnsToContents();
}

QString frmQcChart::exportPdf(const QString& file)
{
    return WriteQcPdf(m_period, file);
}

void frmQcChart::exportWithChooser()
{
    const QString file = m_choosePdfFile();
    if (file.isEmpty())
        return;
    if (const QString error = exportPdf(file); !error.isEmpty())
        m_status->setText(error);
    else
        m_status->setText(QStringLiteral("Written to %1").arg(file));
}

} // namespace Quorlix
