#include "frmSplash.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

// The window library is linked statically: its resources are registered only when referenced.
static void InitUiResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered)
}

namespace Quorlix {

QPixmap frmSplash::Logo()
{
    InitUiResources();
    return QPixmap(QStringLiteral(":/quorlix/logo.png"));
}

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));

    auto* frame = new QFrame(this);
    m_frame = frame;
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Raised);
    frame->setLineWidth(2);

    auto* logo = new QLabel(frame);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setPixmap(Logo());
    logo->setAlignment(Qt::AlignCenter);

    m_title = new QLabel(QStringLiteral("Analyzer2Host communication for HIT911"), frame);
    m_title->setObjectName(QStringLiteral("Label2"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    m_title->setFont(titleFont);

    m_status = new QLabel(QStringLiteral("Vandrel Database is loading..."), frame);
    m_status->setObjectName(QStringLiteral("Label1"));

    auto* texts = new QVBoxLayout;
    texts->addStretch(1);
    texts->addWidget(m_title);
    texts->addSpacing(12);
    texts->addWidget(m_status);
    texts->addStretch(1);

    auto* inner = new QHBoxLayout(frame);
    inner->setContentsMargins(18, 18, 18, 18);
    inner->setSpacing(18);
    inner->addWidget(logo);
    inner->addLayout(texts, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    // Wide enough for the longest analyzer line, so that a new text never needs a new layout.
    setFixedSize(520, 170);
}

void frmSplash::showNow()
{
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    // Nothing else runs yet (no port is open, no timer started): only the mapping is waited for.
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < 1000)
        QCoreApplication::processEvents(
            QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers, 20);
    paintNow();
}

void frmSplash::setStatus(const QString& text)
{
    m_status->setText(text);
    paintNow();
}

void frmSplash::setTitle(const QString& text)
{
    m_title->setText(text);
    paintNow();
}

void frmSplash::paintNow()
{
    if (!isVisible())
        return;
    // Paints this window alone, now; the rest of the event queue waits for the event loop.
    layout()->activate();
    m_frame->layout()->activate();
    repaint();
}

} // namespace Quorlix
