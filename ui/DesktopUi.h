#pragma once

#include "engine/StartupUi.h"

#include <QIcon>

#include <memory>

namespace Quorlix {

class Engine;
class TrayIcon;
class frmComm;
class frmPushInput;
class frmSetID;
class frmSplash;

// The start-up's windows on a desktop: the splash window with its progress texts, the hidden main
// window frmComm with its caption and icon, the tray icon, and the operator window a type needs
// (frmSetID to name measurements, frmPushInput to type results in).
class DesktopUi final : public StartupUi
{
public:
    // trayAvailable: whether the desktop has a system tray; without one the main window is shown.
    DesktopUi(Engine& engine, bool trayAvailable);
    explicit DesktopUi(Engine& engine);
    ~DesktopUi() override;

    void showSplash() override;
    void setSplashStatus(const QString& text) override;
    void setSplashTitle(const QString& text) override;
    void setWindowCaption(const QString& caption) override;
    bool setWindowIcon(const QString& path) override;
    void showTrayIcon() override;
    void hideSplash() override;
    bool showOperatorWindow(OperatorWindow window) override;

    frmComm& mainWindow() { return *m_comm; }
    TrayIcon& trayIcon() { return *m_tray; }
    frmSplash* splash() const { return m_splash.get(); }            // null once the start-up is over
    frmSetID* setIdWindow() const { return m_setId.get(); }         // OperatorWindow::SampleChoice
    frmPushInput* inputWindow() const { return m_pushInput.get(); } // OperatorWindow::ManualInput

    // The icon shown when an analyzer type has no icon file of its own.
    static QIcon DefaultIcon();

private:
    frmSplash& ensureSplash();

    Engine& m_engine;
    std::unique_ptr<frmComm> m_comm;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<frmSplash> m_splash;
    std::unique_ptr<frmSetID> m_setId;
    std::unique_ptr<frmPushInput> m_pushInput;
};

} // namespace Quorlix
