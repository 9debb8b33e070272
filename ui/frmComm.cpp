#include "frmComm.h"

#include "core/Clock.h"
#include "engine/Engine.h"
#include "frmSimulate.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace Quorlix {

namespace {

// Status colours of the two links: online 65280 and offline 255 as the window system writes them
// (red in the lowest byte), that is pure green and pure red.
const QColor OnlineColour(0, 255, 0);
const QColor OfflineColour(255, 0, 0);

QLabel* TitleLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLabel* StatusLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(110);
    return label;
}

void ShowStatus(QLabel* label, bool online)
{
    label->setText(online ? QStringLiteral("online") : QStringLiteral("offline"));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, online ? OnlineColour : OfflineColour);
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
}

QPushButton* Button(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

// One log line is one line of the view: a line break inside a monitor text would split it.
QString OneLine(QString line)
{
    for (QChar& c : line) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\r' || u == QChar::LineSeparator || u == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return line;
}

} // namespace

frmComm::frmComm(Engine& engine, QWidget* parent) : QWidget(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("frmComm"));

    auto* analyzerTitle = TitleLabel(QStringLiteral("Label4"), QStringLiteral("Analyzer"), this);
    auto* limsTitle = TitleLabel(QStringLiteral("Label3"), QStringLiteral("LIMS"), this);
    m_analyzerStatus = StatusLabel(QStringLiteral("Label1"), this);
    m_limsStatus = StatusLabel(QStringLiteral("Label2"), this);

    m_view = new QPlainTextEdit(this);
    m_view->setObjectName(QStringLiteral("Text1"));
    m_view->setReadOnly(true);
    m_view->setUndoRedoEnabled(false); // an undo history would keep every line ever shown
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* closeButton = Button(QStringLiteral("Command1"), QStringLiteral("Close View"), this);
    auto* stopButton = Button(QStringLiteral("Command2"), QStringLiteral("Stop Communication"), this);
    auto* monitorButton = Button(QStringLiteral("Command3"), QStringLiteral("Request Monitor"), this);
    // The analyzer simulation of a Hitachi 911 served with a LIMS side, shown once the engine runs one.
    m_simulateButton = Button(QStringLiteral("cmdSimulate"), QStringLiteral("Hitachi Simulation"), this);
    m_simulateButton->hide();

    // The window's own menu (right button), so that quality control is reachable without a tray too.
    m_qcAction = new QAction(QStringLiteral("&Quality control..."), this);
    m_qcAction->setObjectName(QStringLiteral("mnuQc"));
    addAction(m_qcAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* status = new QGridLayout;
    status->addWidget(analyzerTitle, 0, 0);
    status->addWidget(m_analyzerStatus, 1, 0);
    status->addWidget(limsTitle, 0, 1);
    status->addWidget(m_limsStatus, 1, 1);
    status->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(closeButton);
    buttons->addWidget(stopButton);
    buttons->addWidget(monitorButton);
    buttons->addWidget(m_simulateButton);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(status);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    resize(720, 440);

    // What the log kept before the window existed, newest on top.
    QStringList recent = engine.log().recentLines();
    recent = recent.mid(0, CommLog::MaxRecentLines);
    for (QString& line : recent)
        line = OneLine(line);
    m_view->setPlainText(recent.join(QLatin1Char('\n')));
    m_lineCount = static_cast<int>(recent.size());

    connect(closeButton, &QPushButton::clicked, this, &frmComm::closeView);
    connect(stopButton, &QPushButton::clicked, &m_engine, &Engine::stop);
    connect(monitorButton, &QPushButton::clicked, this, &frmComm::openRequestMonitor);
    connect(m_simulateButton, &QPushButton::clicked, this, &frmComm::openSimulation);
    connect(m_qcAction, &QAction::triggered, this, &frmComm::openQcChart);
    connect(&engine, &Engine::started, this, [this] {
        const AnalyzerType* type = m_engine.analyzerType();
        m_simulateButton->setVisible(m_engine.analyzerHandler() && type && type->offersSimulationWithLims &&
                                     m_engine.settings().hasLimsSide());
    });
    connect(&engine.log(), &CommLog::windowLine, this, &frmComm::addLine);
    connect(&engine, &Engine::linkStatusChanged, this, &frmComm::showLinkStatus);
    // Stopping unloads the window: it goes away with the tray icon and cannot stop the engine twice.
    connect(&engine, &Engine::stopped, this, [this] {
        m_stopped = true;
        if (m_reqMonitor)
            m_reqMonitor->close();
        if (m_simulation)
            m_simulation->close();
        if (m_qcChart)
            m_qcChart->close();
        hide();
    });
    showLinkStatus();
}

frmComm::~frmComm() = default;

void frmComm::addLine(const QString& line)
{
    QScrollBar* bar = m_view->verticalScrollBar();
    const int readingAt = bar->value();

    QTextCursor top(m_view->document());
    top.movePosition(QTextCursor::Start);
    top.insertText(m_lineCount == 0 ? OneLine(line) : OneLine(line) + QLatin1Char('\n'));
    ++m_lineCount;

    // The oldest line goes at the bottom, with the line break before it.
    while (m_lineCount > CommLog::MaxRecentLines) {
        QTextCursor last(m_view->document());
        last.movePosition(QTextCursor::End);
        last.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        last.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
        last.removeSelectedText();
        --m_lineCount;
    }

    // An operator reading further down keeps the lines in view; at the top the newest line shows.
    if (readingAt > 0)
        bar->setValue(readingAt + 1);
}

void frmComm::bringToFront()
{
    if (m_stopped)
        return;
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void frmComm::closeView()
{
    if (m_trayPresent)
        hide();
    else
        showMinimized();
}

void frmComm::closeEvent(QCloseEvent* event)
{
    // The window's close button is "Close View": the interface keeps running in the background.
    if (m_stopped) {
        event->accept();
        return;
    }
    event->ignore();
    closeView();
}

void frmComm::openRequestMonitor()
{
    if (m_reqMonitor) {
        m_reqMonitor->showNormal();
        m_reqMonitor->raise();
        m_reqMonitor->activateWindow();
        return;
    }
    m_reqMonitor = new frmReqMonitor(m_engine.database(), &m_engine.log(), this);
    m_reqMonitor->setAttribute(Qt::WA_DeleteOnClose);
    m_reqMonitor->show();
}

void frmComm::openSimulation()
{
    if (m_simulation) {
        m_simulation->showNormal();
        m_simulation->raise();
        m_simulation->activateWindow();
        return;
    }
    // Its frames go to Hit911ReceiveWithLims as if they had come from the analyzer port.
    m_simulation = new frmSimulate(
        [this](const QString& frame) {
            if (LineHandler* handler = m_engine.analyzerHandler())
                handler->receive(frame);
        },
        this);
    m_simulation->setWindowFlag(Qt::Window);
    m_simulation->setAttribute(Qt::WA_DeleteOnClose);
    m_simulation->show();
}

void frmComm::openQcChart()
{
    if (m_qcChart) {
        m_qcChart->showNormal();
        m_qcChart->raise();
        m_qcChart->activateWindow();
        return;
    }
    m_qcChart = new frmQcChart(m_engine.database(), m_engine.settings().AnalyzerId,
                               m_engine.clock().now().date(), this);
    m_qcChart->setAttribute(Qt::WA_DeleteOnClose);
    m_qcChart->show();
}

void frmComm::showLinkStatus()
{
    const LinkState& link = m_engine.link();
    ShowStatus(m_analyzerStatus, link.analyzerOnline);
    ShowStatus(m_limsStatus, link.limsOnline);
}

} // namespace Quorlix
