#include "frmReqMonitor.h"

#include "core/CommLog.h"
#include "core/Database.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

#include <algorithm>

namespace Quorlix {

namespace {

// Widths of the first two grid columns, in twips (1440 to the inch) as the grid was laid out.
constexpr int FirstColumnTwips = 1000;
constexpr int SecondColumnTwips = 600;

QLabel* Title(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QTableView* Grid(const QString& name, QStandardItemModel* model, QWidget* parent)
{
    auto* grid = new QTableView(parent);
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setAlternatingRowColors(true);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->verticalHeader()->hide();
    return grid;
}

QString CellText(const QVariant& value, const QLocale& locale)
{
    if (value.isNull())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return locale.toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return value.toString();
    }
}

} // namespace

frmReqMonitor::frmReqMonitor(Database& db, CommLog* log, QWidget* parent)
    : QWidget(parent, Qt::Window), m_db(db), m_log(log)
{
    setObjectName(QStringLiteral("frmReqMonitor"));
    setWindowTitle(QStringLiteral("Req Monitor"));

    m_requests = new QStandardItemModel(0, 3, this);
    m_requests->setHorizontalHeaderLabels(
        {QStringLiteral("sample_id"), QStringLiteral("short"), QStringLiteral("result")});
    m_toSend = new QStandardItemModel(0, 2, this);
    m_toSend->setHorizontalHeaderLabels({QStringLiteral("sample_id"), QStringLiteral("short")});

    m_requestGrid = Grid(QStringLiteral("DataGrid1"), m_requests, this);
    m_toSendGrid = Grid(QStringLiteral("DataGrid2"), m_toSend, this);

    // The request grid carries a caption bar of its own above the columns.
    auto* caption = new QLabel(QStringLiteral("Quorlix"), this);
    caption->setObjectName(QStringLiteral("DataGrid1Caption"));
    caption->setAlignment(Qt::AlignCenter);
    caption->setAutoFillBackground(true);
    caption->setBackgroundRole(QPalette::Mid);
    caption->setFrameShape(QFrame::Panel);
    caption->setFrameShadow(QFrame::Raised);

    auto* reload = new QPushButton(QStringLiteral("RELOAD"), this);
    reload->setObjectName(QStringLiteral("Command1"));
    connect(reload, &QPushButton::clicked, this, &frmReqMonitor::RefreshGrids);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Title(QStringLiteral("Label1"), QStringLiteral("Request"), this), 0, 0);
    layout->addWidget(Title(QStringLiteral("Label2"), QStringLiteral("Req2send"), this), 0, 1);
    layout->addWidget(caption, 1, 0);
    layout->setVerticalSpacing(4);
    layout->addWidget(m_requestGrid, 2, 0);
    layout->addWidget(m_toSendGrid, 1, 1, 2, 1);
    layout->addWidget(reload, 3, 0, 1, 2, Qt::AlignLeft);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);
    resize(560, 420);

    RefreshGrids();
}

void frmReqMonitor::RefreshGrids()
{
    fill(m_requests, m_requestGrid, QStringLiteral("request"),
         QStringLiteral("SELECT rq.sample_id, td.short, rq.result FROM request rq "
                        "INNER JOIN test_def td ON rq.parameter_id = td.parameter_id "
                        "ORDER BY rq.sample_id, td.short"));
    fill(m_toSend, m_toSendGrid, QStringLiteral("req2send"),
         QStringLiteral("SELECT r2.sample_id, td.short FROM req2send r2 "
                        "INNER JOIN test_def td ON r2.parameter_id = td.parameter_id "
                        "ORDER BY r2.sample_id, td.short"));
}

void frmReqMonitor::fill(QStandardItemModel* model, QTableView* grid, const QString& table,
                         const QString& sql)
{
    model->removeRows(0, model->rowCount());
    SqlResult rows = m_db.run(sql);
    if (!rows.ok()) {
        if (m_log)
            m_log->monitor(QStringLiteral("Req Monitor: cannot read %1: %2").arg(table, rows.error()));
    } else {
        const int columns = model->columnCount();
        while (rows.next()) {
            QList<QStandardItem*> row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c) {
                auto* item = new QStandardItem(CellText(rows.value(c), locale()));
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                row << item;
            }
            model->appendRow(row);
        }
    }
    // The grid's widths were made for a smaller font: a column grows when its values would be cut.
    const double dpi = grid->logicalDpiX();
    const QAbstractItemView* view = grid;
    grid->setColumnWidth(0, std::max(qRound(FirstColumnTwips * dpi / 1440.0), view->sizeHintForColumn(0)));
    grid->setColumnWidth(1, std::max(qRound(SecondColumnTwips * dpi / 1440.0), view->sizeHintForColumn(1)));
}

} // namespace Quorlix
