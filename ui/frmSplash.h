#pragma once

#include <QPixmap>
#include <QWidget>

class QLabel;

namespace Quorlix {

// The splash window of the start-up: the analyzer line (Label2) and the progress text (Label1) beside
// the logo. The start-up runs without an event loop, so every text change paints the window at once.
class frmSplash final : public QWidget
{
    Q_OBJECT

public:
    explicit frmSplash(QWidget* parent = nullptr);

    // Shows the window and waits briefly until the window system has mapped it, so that the
    // progress texts that follow can be painted directly.
    void showNow();
    void setStatus(const QString& text);
    void setTitle(const QString& text);

    // The product logo (Image1), also the icon of a type without an icon file.
    static QPixmap Logo();

private:
    void paintNow();

    QWidget* m_frame = nullptr; // Frame1
    QLabel* m_title = nullptr;  // Label2
    QLabel* m_status = nullptr; // Label1
};

} // namespace Quorlix
