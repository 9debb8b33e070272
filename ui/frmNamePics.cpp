#include "frmNamePics.h"

#include "core/Clock.h"
#include "core/IniFile.h"
#include "core/Settings.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

namespace Quorlix {

frmNamePics::frmNamePics(Database& db, CommLog& log, const Settings& settings, const Clock& clock,
                         const QString& user, QWidget* parent)
    : QDialog(parent), m_clock(clock), m_user(user),
      m_dropFolder(BesideIniFile(settings, settings.PicSavePath)),
      m_pictures(db, log, m_dropFolder, clock.now())
{
    setObjectName(QStringLiteral("frmNamePics"));
    setWindowTitle(QStringLiteral("Scan Sample BC"));
    m_notify = [this](const QString& text) { QMessageBox::information(this, windowTitle(), text); };

    m_txtSampleID = new QLineEdit(this);
    m_txtSampleID->setObjectName(QStringLiteral("txtSampleID"));
    m_txtSampleID->installEventFilter(this);
    QFont font = m_txtSampleID->font();
    font.setPointSize(14);
    m_txtSampleID->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_txtSampleID);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    resize(360, sizeHint().height());
}

void frmNamePics::ClearSampleId()
{
    m_txtSampleID->clear();
    m_txtSampleID->setFocus();
}

bool frmNamePics::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_txtSampleID && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            this->enter();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            ClearSampleId();
            return true; // the window stays open
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmNamePics::enter()
{
    const QString id = m_txtSampleID->text();
    if (const QString unsafe = SamplePictures::UnsafeFileName(id); !unsafe.isEmpty()) {
        m_notify(unsafe);
        m_txtSampleID->selectAll();
        return;
    }
    if (!SamplePictures::IsValidSampleId(id)) {
        // The next scan replaces the text.
        m_txtSampleID->selectAll();
        return;
    }
    if (id.isEmpty())
        return;
    if (m_dropFolder.isEmpty()) {
        m_notify(QStringLiteral("No picture folder is configured (picsavepath)."));
    } else if (!m_pictures.dropFolderExists()) {
        m_notify(QStringLiteral("The picture folder %1 does not exist.").arg(m_dropFolder));
    } else {
        const int n = m_pictures.CountPictures();
        if (n == 1) {
            if (const QString error = m_pictures.MovePicture(id, m_user, m_clock.now()); !error.isEmpty())
                m_notify(error);
        } else if (n == 0) {
            m_notify(QStringLiteral("No .jpg file existing."));
        } else {
            m_notify(QStringLiteral("%1 .jpg files existing. Please do cleanup").arg(n));
        }
    }
    CloseNamePics();
}

void frmNamePics::CloseNamePics()
{
    // The input window puts the focus back on its sample box once this modal window is done.
    accept();
}

} // namespace Quorlix
