#include "TrayIcon.h"

#include "engine/Engine.h"
#include "frmComm.h"

#include <QMenu>

namespace Quorlix {

TrayIcon::TrayIcon(Engine& engine, frmComm& window, bool available, QObject* parent)
    : QObject(parent), m_engine(engine), m_window(window), m_available(available),
      m_menu(std::make_unique<QMenu>())
{
    m_menu->setObjectName(QStringLiteral("mPopupSys"));
    m_menu->setTitle(QStringLiteral("&SysTray"));
    QAction* restore = m_menu->addAction(QStringLiteral("&View Communication"));
    restore->setObjectName(QStringLiteral("mPopRestore"));
    m_menu->addAction(m_window.qcAction()); // mnuQc
    QAction* exit = m_menu->addAction(QStringLiteral("&Exit"));
    exit->setObjectName(QStringLiteral("mPopExit"));
    connect(restore, &QAction::triggered, &m_window, &frmComm::bringToFront);
    connect(exit, &QAction::triggered, &m_engine, &Engine::stop);

    m_icon.setToolTip(QStringLiteral("Vandrel Analyzer"));
    m_icon.setIcon(m_window.windowIcon());
    m_icon.setContextMenu(m_menu.get());
    connect(&m_window, &QWidget::windowIconChanged, &m_icon, &QSystemTrayIcon::setIcon);
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
    connect(&m_engine, &Engine::stopped, this, &TrayIcon::hide);
}

TrayIcon::~TrayIcon()
{
    m_icon.hide();
}

void TrayIcon::show()
{
    m_window.setTrayPresent(m_available);
    if (m_available)
        m_icon.show();
    else
        m_window.bringToFront();
}

void TrayIcon::hide()
{
    m_icon.hide();
}

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    // The pop-up menu on the right button is the tray's own; a double-click brings the window up.
    if (reason == QSystemTrayIcon::DoubleClick)
        m_window.bringToFront();
}

} // namespace Quorlix
