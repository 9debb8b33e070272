#include "DesktopUi.h"

#include "TrayIcon.h"
#include "engine/Engine.h"
#include "frmComm.h"
#include "frmPushInput.h"
#include "frmSetID.h"
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

bool DesktopUi::showOperatorWindow(OperatorWindow window)
{
    if (window == OperatorWindow::SampleChoice) {
        m_setId = std::make_unique<frmSetID>(m_engine.database(), &m_engine.log(), m_engine.settings());
        // The driver is built when the engine starts; from then on the window names its measurements.
        QObject::connect(&m_engine, &Engine::started, m_setId.get(), [this] {
            const AnalyzerType* type = m_engine.analyzerType();
            LineHandler* handler = m_engine.analyzerHandler();
            if (SampleChoice* choice =
                    type && type->sampleChoice && handler ? type->sampleChoice(*handler) : nullptr)
                m_setId->attach(*choice);
            else
                m_engine.log().monitor(
                    QStringLiteral("no ACT driver runs: the sample-ID window names nothing"));
        });
        m_setId->show();
        return true;
    }
    if (window == OperatorWindow::ManualInput) {
        m_pushInput = std::make_unique<frmPushInput>(m_engine.database(), m_engine.log(), m_engine.settings(),
                                                     m_engine.clock());
        m_pushInput->setEndProgram([this] { m_engine.stop(); });
        m_pushInput->show();
        return true;
    }
    return false;
}

} // namespace Quorlix
