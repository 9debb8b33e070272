#pragma once

#include "frmQcChart.h"
#include "frmReqMonitor.h"
#include "frmSimulate.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace Quorlix {

class Engine;

// The main communication window: the analyzer and LIMS link states, the communication view with the
// newest line on top, and the operator's buttons. It starts hidden; the tray icon brings it up. The
// link state belongs to the engine; the window only shows it.
class frmComm final : public QWidget
{
    Q_OBJECT

public:
    explicit frmComm(Engine& engine, QWidget* parent = nullptr);
    ~frmComm() override;

    // Shows the window in front of the others (tray double-click, "&View Communication").
    void bringToFront();

    // Whether a tray icon can bring the window back. Without one, "Close View" and the window's own
    // close button minimise the window instead of hiding it, so that it never becomes unreachable.
    void setTrayPresent(bool present) { m_trayPresent = present; }
    bool trayPresent() const { return m_trayPresent; }

    // The open request monitor, if any.
    frmReqMonitor* requestMonitor() const { return m_reqMonitor; }
    // The open simulation window, if any.
    frmSimulate* simulation() const { return m_simulation; }
    // The open quality-control window, if any.
    frmQcChart* qcChart() const { return m_qcChart; }
    // "Quality control...": in the window's context menu and in the tray's menu.
    QAction* qcAction() const { return m_qcAction; }
    void openQcChart();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void closeView();
    void openRequestMonitor();
    void openSimulation();
    void showLinkStatus();
    void addLine(const QString& line);

    Engine& m_engine;
    QLabel* m_analyzerStatus = nullptr; // Label1
    QLabel* m_limsStatus = nullptr;     // Label2
    QPlainTextEdit* m_view = nullptr;   // Text1
    int m_lineCount = 0;
    QPointer<frmReqMonitor> m_reqMonitor;
    QPushButton* m_simulateButton = nullptr;
    QPointer<frmSimulate> m_simulation;
    QAction* m_qcAction = nullptr; // mnuQc
    QPointer<frmQcChart> m_qcChart;
    bool m_trayPresent = true;
    bool m_stopped = false;
};

} // namespace Quorlix
