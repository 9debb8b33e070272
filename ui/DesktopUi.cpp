#include "DesktopUi.h"

#include "TrayIcon.h"
#include "frmComm.h"
#include "frmSplash.h"

#include <QImageReader>
#include <QSystemTrayIcon>

namespace Quorlix {

QIcon DesktopUi::DefaultIcon()
{
    return QIcon(frmSplash::Logo());
}

DesktopUi::DesktopUi(Engine& engine, bool trayAvailable)
    : m_engine(engine), m_comm(std::make_unique<frmComm>(engine))
{
    m_comm->setWindowIcon(DefaultIcon());
    m_tray = std::make_unique<TrayIcon>(engine, *m_comm, trayAvailable);
}

DesktopUi::DesktopUi(Engine& engine) : DesktopUi(engine, QSystemTrayIcon::isSystemTrayAvailable()) {}

DesktopUi::~DesktopUi() = default;

frmSplash& DesktopUi::ensureSplash()
{
    if (!m_splash)
        m_splash = std::make_unique<frmSplash>();
    return *m_splash;
}

void DesktopUi::showSplash()
{
    ensureSplash().showNow();
}

void DesktopUi::setSplashStatus(const QString& text)
{
    ensureSplash().setStatus(text);
}

void DesktopUi::setSplashTitle(const QString& text)
{
    ensureSplash().setTitle(text);
}

void DesktopUi::setWindowCaption(const QString& caption)
{
    m_comm->setWindowTitle(caption);
}

bool DesktopUi::setWindowIcon(const QString& path)
{
    // QIcon accepts any file name and only finds out when painting; read the file now, so that a
    // missing or unreadable icon is reported and the default icon stays.
    QImageReader reader(path);
    if (!reader.canRead())
        return false;
    const QIcon icon(path);
    if (icon.isNull())
        return false;
    m_comm->setWindowIcon(icon);
    return true;
}

void DesktopUi::showTrayIcon()
{
    m_tray->show();
}

void DesktopUi::hideSplash()
{
    m_splash.reset();
}

bool DesktopUi::showOperatorWindow(const QString& type)
{
    // Operator windows hook: "ACT" gets frmSetID and "INPUT" gets frmPushInput once they exist.
    Q_UNUSED(type)
    return false;
}

} // namespace Quorlix
