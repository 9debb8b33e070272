#pragma once

#include "engine/SamplePictures.h"

#include <QDialog>

#include <functional>

class QLineEdit;

namespace Quorlix {

class Clock;
class CommLog;
class Database;
struct Settings;

// "Scan Sample BC": the operator scans the barcode of the sample whose picture the camera just
// dropped into PicSavePath; Enter moves the one picture into the folder of the day under the
// sample's id, records it in SAMPLE_PICS and closes the window. No picture or several: a message,
// nothing moved. A barcode that cannot name a file is refused with a message and selected for the
// next scan. Escape empties the box and keeps the window open.
class frmNamePics final : public QDialog
{
    Q_OBJECT

public:
    // The message boxes; a test answers them instead.
    using Notify = std::function<void(const QString& text)>;

    frmNamePics(Database& db, CommLog& log, const Settings& settings, const Clock& clock, const QString& user,
                QWidget* parent = nullptr);

    void setNotify(Notify notify) { m_notify = std::move(notify); }
    QLineEdit* txtSampleID() const { return m_txtSampleID; }
    QString PicDayFolder() const { return m_pictures.dayFolder(); }

    // Empties the box and puts the focus on it.
    void ClearSampleId();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void enter();
    void CloseNamePics();

    const Clock& m_clock;
    QString m_user;
    QString m_dropFolder;
    SamplePictures m_pictures;
    Notify m_notify;
    QLineEdit* m_txtSampleID = nullptr;
};

} // namespace Quorlix
