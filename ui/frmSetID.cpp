#include "frmSetID.h"

#include "core/CommLog.h"
#include "core/Database.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "drivers/SampleChoice.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace Quorlix {

namespace {

const QColor Red(255, 0, 0);
const QColor White(255, 255, 255);

QPushButton* Button(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setAutoFillBackground(true);
    return button;
}

} // namespace

frmSetID::frmSetID(Database& db, CommLog* log, const Settings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), m_db(db), m_log(log), m_settings(settings)
{
    setObjectName(QStringLiteral("frmSetID"));
    setWindowTitle(QStringLiteral("Coulter ACT 8 Kommunikation"));

    createSamplesFrame();
    QGroupBox* controlsFrame = createControlsFrame();
    m_ignoreButton = Button(QStringLiteral("Command4"), QStringLiteral("Nächste Messung ignorieren"), this);
    connect(m_ignoreButton, &QPushButton::clicked, this, &frmSetID::ignore);

    auto* side = new QVBoxLayout;
    side->addWidget(controlsFrame);
    side->addWidget(m_ignoreButton);
    side->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_samplesFrame, 1);
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    resize(1180, 480);

    clearHighlight();
    resetControlFonts();
    refreshGrid();
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &frmSetID::refreshGrid);
    m_timer->start();
    m_zeingabe->setFocus();
}

void frmSetID::createSamplesFrame()
{
    m_samplesFrame = new QGroupBox(QStringLiteral("Proben"), this);
    m_samplesFrame->setObjectName(QStringLiteral("Frame1"));
    createSampleGrid();
    auto* number = new QLabel(QStringLiteral("Proben-Nummer:"), m_samplesFrame);
    number->setObjectName(QStringLiteral("Label1"));
    m_zeingabe = new QLineEdit(m_samplesFrame);
    m_zeingabe->setObjectName(QStringLiteral("zeingabe"));
    connect(m_zeingabe, &QLineEdit::returnPressed, this, &frmSetID::numberEntered);
    m_refreshButton = Button(QStringLiteral("Command5"), QStringLiteral("Aktualisieren"), m_samplesFrame);
    connect(m_refreshButton, &QPushButton::clicked, this, &frmSetID::rebuildGrid);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(number);
    numberRow->addWidget(m_zeingabe, 1);
    numberRow->addWidget(m_refreshButton);
    auto* samples = new QVBoxLayout(m_samplesFrame);
    samples->addWidget(m_grid, 1);
    samples->addLayout(numberRow);
}

void frmSetID::createSampleGrid()
{
    // The labels of the open samples, five to a row, in a scrolled grid.
    m_samples = new QStandardItemModel(0, Columns, this);
    m_samples->setObjectName(QStringLiteral("cmdSample"));
    m_grid = new QTableView(m_samplesFrame);
    m_grid->setObjectName(QStringLiteral("Picture1"));
    m_grid->setModel(m_samples);
    m_grid->horizontalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 12);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setFocusPolicy(Qt::NoFocus); // typing always goes to the number box
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_grid->verticalScrollBar()->setObjectName(QStringLiteral("VScroll1"));
    m_grid->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    m_grid->setWordWrap(false);
    m_grid->viewport()->installEventFilter(this);
    connect(m_grid, &QTableView::pressed, this, [this](const QModelIndex& index) {
        if (QStandardItem* item = m_samples->itemFromIndex(index))
            item->setBackground(White); // while the mouse button is held down
    });
    connect(m_grid, &QTableView::clicked, this, [this](const QModelIndex& index) {
        const int position = index.row() * Columns + index.column();
        if (position < m_sampleIds.size())
            chooseSample(position);
    });
}

QGroupBox* frmSetID::createControlsFrame()
{
    auto* controlsFrame = new QGroupBox(QStringLiteral("Kontrollen"), this);
    controlsFrame->setObjectName(QStringLiteral("Frame2"));
    auto* controls = new QGridLayout(controlsFrame);
    const QStringList levels{QStringLiteral("LOW"), QStringLiteral("MED"), QStringLiteral("HIGH")};
    for (int level = 1; level <= 3; ++level) {
        auto* combo = new QComboBox(controlsFrame);
        combo->setObjectName(QStringLiteral("Combo%1").arg(level));
        combo->setMinimumContentsLength(12);
        SqlResult rows = m_db.run(QStringLiteral("SELECT control_id FROM control_base WHERE name LIKE ?"),
                                  {QStringLiteral("%") + levels[level - 1] + QStringLiteral("%")});
        if (!rows.ok() && m_log)
            m_log->monitor(
                QStringLiteral("the %1 controls cannot be read: %2").arg(levels[level - 1], rows.error()));
        while (rows.next())
            combo->addItem(NullToText(rows.value(0)));
        combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
        auto* button = Button(QStringLiteral("Command%1").arg(level), levels[level - 1], controlsFrame);
        connect(button, &QPushButton::clicked, this, [this, level] { chooseControl(level); });
        m_controlCombos[static_cast<size_t>(level - 1)] = combo;
        m_controlButtons[static_cast<size_t>(level - 1)] = button;
        controls->addWidget(combo, level - 1, 0);
        controls->addWidget(button, level - 1, 1);
    }
    return controlsFrame;
}

void frmSetID::attach(SampleChoice& choice)
{
    m_choice = &choice;
    connect(&choice, &SampleChoice::ignored, this, &frmSetID::clearHighlight);
    connect(&choice, &SampleChoice::parsed, this, &frmSetID::resetControlFonts);
}

QScrollBar* frmSetID::sampleScrollBar() const
{
    return m_grid->verticalScrollBar();
}

void frmSetID::refreshGrid()
{
    SqlResult rows = m_db.run(
        QStringLiteral(
            "SELECT DISTINCT p.forename, p.surname, r.sample_id FROM request r "
            "INNER JOIN param2channel p2c ON p2c.parameter_id = r.parameter_id AND p2c.analyzer_id = ? "
            "INNER JOIN sample_base s ON s.sample_id = r.sample_id "
            "INNER JOIN patients p ON p.p_id = s.p_id ORDER BY r.sample_id"),
        {m_settings.AnalyzerId});
    if (!rows.ok()) {
        // Reported once, not every second.
        if (m_log && !m_readFailed)
            m_log->monitor(QStringLiteral("the open samples cannot be read: %1").arg(rows.error()));
        m_readFailed = true;
        return;
    }
    m_readFailed = false;
    const QColor buttonFace = palette().color(QPalette::Button);
    while (rows.next()) {
        const QString id = NullToText(rows.value(2));
        if (id.isEmpty() || m_sampleIds.contains(id))
            continue;
        if (m_sampleIds.size() >= MaxSamples) {
            if (m_log && !m_fullReported)
                m_log->monitor(
                    QStringLiteral("the sample grid holds %1 samples; further samples are shown after "
                                   "\"Aktualisieren\" once these are done")
                        .arg(MaxSamples));
            m_fullReported = true;
            break;
        }
        const int position = int(m_sampleIds.size());
        if (m_samples->rowCount() <= position / Columns)
            m_samples->setRowCount(position / Columns + 1);
        const QString name =
            (NullToText(rows.value(1)) + QLatin1Char(' ') + NullToText(rows.value(0))).trimmed();
        auto* item = new QStandardItem(id + QLatin1Char(' ') + name);
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(buttonFace);
        item->setToolTip(item->text());
        item->setData(id, Qt::UserRole);
        m_samples->setItem(position / Columns, position % Columns, item);
        m_sampleIds << id;
    }
}

void frmSetID::rebuildGrid()
{
    m_samples->setRowCount(0);
    m_sampleIds.clear();
    m_fullReported = false;
    refreshGrid();
    m_zeingabe->setFocus();
}

bool frmSetID::eventFilter(QObject* watched, QEvent* event)
{
    // A label under a released mouse button returns to its colour (the click then marks it).
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const QColor buttonFace = palette().color(QPalette::Button);
        for (int row = 0; row < m_samples->rowCount(); ++row) {
            for (int column = 0; column < Columns; ++column) {
                QStandardItem* item = m_samples->item(row, column);
                if (item && item->background().color() == White)
                    item->setBackground(buttonFace);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmSetID::clearHighlight()
{
    const QColor buttonFace = palette().color(QPalette::Button);
    for (int row = 0; row < m_samples->rowCount(); ++row) {
        for (int column = 0; column < Columns; ++column) {
            if (QStandardItem* item = m_samples->item(row, column))
                item->setBackground(buttonFace);
        }
    }
    for (int n = 0; n < 3; ++n)
        markButton(m_controlButtons[static_cast<size_t>(n)], false);
}

void frmSetID::markButton(QPushButton* button, bool chosen)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, chosen ? Red : this->palette().color(QPalette::Button));
    button->setPalette(palette);
}

void frmSetID::resetControlFonts()
{
    for (int n = 0; n < 3; ++n) {
        QPushButton* button = m_controlButtons[static_cast<size_t>(n)];
        QFont font = button->font();
        font.setPointSize(8);
        font.setBold(false);
        button->setFont(font);
    }
}

void frmSetID::chooseSample(int position)
{
    if (position < 0 || position >= m_sampleIds.size())
        return;
    clearHighlight();
    m_samples->item(position / Columns, position % Columns)->setBackground(Red);
    if (m_choice)
        m_choice->chooseSample(m_sampleIds.at(position));
    m_zeingabe->setFocus();
}

void frmSetID::chooseControl(int level)
{
    clearHighlight();
    markButton(m_controlButtons[static_cast<size_t>(level - 1)], true);
    if (m_choice)
        m_choice->chooseControl(m_controlCombos[static_cast<size_t>(level - 1)]->currentText());
    m_zeingabe->setFocus();
}

void frmSetID::ignore()
{
    clearHighlight();
    if (m_choice)
        m_choice->ignore();
    m_zeingabe->setFocus();
}

void frmSetID::numberEntered()
{
    const QString text = m_zeingabe->text().trimmed();
    // "000000" chooses nothing.
    if (text != QLatin1String("000000")) {
        const qsizetype position = m_sampleIds.indexOf(text);
        if (position >= 0) {
            chooseSample(int(position));
            m_grid->scrollTo(m_samples->index(int(position) / Columns, int(position) % Columns),
                             QAbstractItemView::PositionAtTop);
        }
    }
    m_zeingabe->clear();
}

} // namespace Quorlix
