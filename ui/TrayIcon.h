#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;

namespace Quorlix {

class Engine;
class frmComm;

// The interface's place in the notification area: tip "Vandrel Analyzer", the main window's icon, a
// double-click shows the main window, and the pop-up menu offers "&View Communication", the main
// window's "&Quality control..." and "&Exit".
// On a desktop without a system tray the main window is shown instead, since nothing else could
// bring it up.
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    // available: whether the desktop has a system tray (QSystemTrayIcon::isSystemTrayAvailable()).
    TrayIcon(Engine& engine, frmComm& window, bool available, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Puts the icon into the tray, or shows the main window where there is no tray.
    void show();
    // Takes the icon out of the tray (the stop sequence).
    void hide();

    bool available() const { return m_available; }
    QSystemTrayIcon& icon() { return m_icon; }
    QMenu* menu() const { return m_menu.get(); } // mPopupSys

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    Engine& m_engine;
    frmComm& m_window;
    const bool m_available;
    std::unique_ptr<QMenu> m_menu; // outlives the icon that shows it
    QSystemTrayIcon m_icon;
};

} // namespace Quorlix
