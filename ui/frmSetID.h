#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QStandardItemModel;
class QTableView;
class QTimer;

namespace Quorlix {

class SampleChoice;
class CommLog;
class Database;
struct Settings;

// "Coulter ACT 8 Kommunikation": the ACT sends its measurements without a usable sample id, so
// the operator says beforehand what the next measurement belongs to — a sample from the grid of
// open samples (or typed by its number), or a LOW, MED or HIGH control — or that it is to be
// ignored. The grid is read every second and only grows until "Aktualisieren" rebuilds it.
class frmSetID final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Columns = 5;
    // SetIdSampleIds holds positions 0 to 500.
    static constexpr int MaxSamples = 501;

    frmSetID(Database& db, CommLog* log, const Settings& settings, QWidget* parent = nullptr);

    // The choice the ACT driver reads; until it is attached the window only shows what is chosen.
    void attach(SampleChoice& choice);

    // SetIdSampleIds: the samples of the grid, position i in row i / 5, column i % 5.
    const QStringList& SetIdSampleIds() const { return m_sampleIds; }
    // Adds the open samples of this analyzer that the grid does not show yet (Timer1).
    void refreshGrid();
    // "Aktualisieren": the grid is built anew.
    void rebuildGrid();
    // "Nächste Messung ignorieren", also for the driver.
    void ignore();
    // A click on the sample label at a position.
    void chooseSample(int position);

    // Controls (their object names are the window's old ones: Picture1, VScroll1, Combo1-3,
    // Command1-5).
    QTableView* sampleGrid() const { return m_grid; }
    QStandardItemModel* cmdSample() const { return m_samples; }
    QScrollBar* sampleScrollBar() const;
    QLineEdit* zeingabe() const { return m_zeingabe; }
    // Level 1 to 3: LOW, MED, HIGH.
    QComboBox* controlCombo(int level) const { return m_controlCombos.at(static_cast<size_t>(level - 1)); }
    QPushButton* controlButton(int level) const
    {
        return m_controlButtons.at(static_cast<size_t>(level - 1));
    }
    QPushButton* ignoreButton() const { return m_ignoreButton; }
    QPushButton* refreshButton() const { return m_refreshButton; }
    QTimer* Timer1() const { return m_timer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The constructor's parts: the samples' frame with its grid, the controls' frame.
    void createSamplesFrame();
    void createSampleGrid();
    QGroupBox* createControlsFrame();
    void chooseControl(int level);
    void numberEntered();
    // Every sample label and the three control buttons in button face.
    void clearHighlight();
    void resetControlFonts();
    void markButton(QPushButton* button, bool chosen);

    Database& m_db;
    CommLog* m_log;
    const Settings& m_settings;
    QPointer<SampleChoice> m_choice;
    QStringList m_sampleIds;
    bool m_fullReported = false;
    bool m_readFailed = false;

    QGroupBox* m_samplesFrame = nullptr;
    QTableView* m_grid = nullptr;
    QStandardItemModel* m_samples = nullptr;
    QLineEdit* m_zeingabe = nullptr;
    std::array<QComboBox*, 3> m_controlCombos{};
    std::array<QPushButton*, 3> m_controlButtons{};
    QPushButton* m_ignoreButton = nullptr;
    QPushButton* m_refreshButton = nullptr;
    QTimer* m_timer = nullptr;
};

} // namespace Quorlix
