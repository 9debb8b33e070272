#pragma once

#include "drivers/manual/ManualInput.h"

#include <QWidget>

#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Quorlix {

class Clock;
class CommLog;
class Database;
struct Settings;

// The manual input station (type "INPUT"): after choosing a user the operator enters (types or
// scans) sample ids and results of one parameter; every accepted entry is stored at once. The
// last eight entries are shown, newest on top, each with a delete mark; the session can be cleared.
// Command words typed into either box: ESC (start over), CLS (clear the session), END (stop the
// program), DEL and a digit (delete that history row), PIC (name a sample picture). CLS and END
// count only as the whole text. Why an entry, a deletion or a clear was refused shows in the
// status line.
class frmPushInput final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int HistoryRows = 8;

    frmPushInput(Database& db, CommLog& log, const Settings& settings, const Clock& clock,
                 QWidget* parent = nullptr);

    // The program's stop sequence ("END", "Log Out / Close").
    void setEndProgram(std::function<void()> end) { m_endProgram = std::move(end); }
    // Opens the picture window for the user, modally (a test replaces it).
    void setPictureWindow(std::function<void(const QString& user)> open)
    {
        m_pictureWindow = std::move(open);
    }

    // Controls, by their names.
    QComboBox* cbUser() const { return m_cbUser; }
    QLabel* lblSelectUser() const { return m_lblSelectUser; }
    QLineEdit* txtSampleID() const { return m_txtSampleID; }
    QLineEdit* txtResult() const { return m_txtResult; }
    QLabel* lblParameter() const { return m_lblParameter; }
    QLabel* lblDevice() const { return m_lblDevice; }
    QLabel* lblSampleCTR() const { return m_lblSampleCTR; }
    QLabel* lblStatus() const { return m_lblStatus; }
    // History row i (0 newest); object names lblSampleID1(i), lblResult1(i), lblDEL1(i).
    QLabel* historySampleLabel(int i) const { return m_rows.at(static_cast<size_t>(i)).sample; }
    QLabel* historyResultLabel(int i) const { return m_rows.at(static_cast<size_t>(i)).result; }
    QLabel* historyDeleteLabel(int i) const { return m_rows.at(static_cast<size_t>(i)).del; }
    QPushButton* cmdClearSession() const { return m_cmdClearSession; }
    QPushButton* cmdClose() const { return m_cmdClose; }

    int SessionSampleCounter() const { return m_counter; }
    bool ParameterConfigured() const { return m_parameterConfigured; }
    ManualInput& input() { return m_input; }

public slots:
    void cbUser_Click();
    void cmdClearSession_Click();
    void cmdClose_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row
    {
        QLabel* sample = nullptr;
        QLabel* result = nullptr;
        QLabel* del = nullptr;
        bool inUse() const;
    };

    // The constructor's parts: the controls, the history rows, the layout, and the first state.
    void createControls();
    QWidget* createHistory();
    void layOut();
    void load();
    QString caption(int key);
    // Runs the command word the text begins with; true when it was one.
    bool commandWords(const QString& text);
    void sampleEnter();
    void resultEnter();
    void resetInput();
    void pushHistory(const QString& sample, const QString& result);
    void setRow(int i, const QString& sample, const QString& result, bool inUse);
    void colourRow(int i);
    void deleteRow(int i);
    void clearSession();
    void showCounter();
    void endProgram();
    // Shows the problem in the status line (and the Monitor view); an empty text clears it.
    void tell(const QString& problem);

    Database& m_db;
    CommLog& m_log;
    const Settings& m_settings;
    const Clock& m_clock;
    ManualInput m_input;
    std::function<void()> m_endProgram;
    std::function<void(const QString&)> m_pictureWindow;
    int m_counter = 0;
    bool m_parameterConfigured = false;

    QComboBox* m_cbUser = nullptr;
    QLabel* m_lblSelectUser = nullptr;
    QLineEdit* m_txtSampleID = nullptr;
    QLineEdit* m_txtResult = nullptr;
    QLabel* m_lblSampleID = nullptr;
    QLabel* m_lblResult = nullptr;
    QLabel* m_lblParameter = nullptr;
    QLabel* m_lblDevice = nullptr;
    QLabel* m_lblSampleCTRLabel = nullptr;
    QLabel* m_lblSampleCTR = nullptr;
    QLabel* m_lblStatus = nullptr;
    std::array<Row, HistoryRows> m_rows{};
    QPushButton* m_cmdClearSession = nullptr;
    QPushButton* m_cmdClose = nullptr;
};

} // namespace Quorlix
