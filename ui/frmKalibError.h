#pragma once

#include "store/CalibrationDialogs.h"
#include "store/Records.h"

#include <QDialog>
#include <QList>
#include <QPointer>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Quorlix {

class Store;

// The window shown when an analyzer sends a calibration that does not fit the laboratory's settings
// (no calib_base row, or another number of standards). The operator corrects the expected
// concentrations and stores the calibration ("Repair", for this calibration only or also as the
// settings of future calibrations) or drops it ("Ignore"). Modeless: the lines keep being served
// while it is open, and each window works on its own copy of the record.
class frmKalibError final : public QDialog
{
    Q_OBJECT

public:
    explicit frmKalibError(Store& store, QWidget* parent = nullptr);

    // Copies the calibration into the window and fills its controls.
    void update(const CalibrationRecord& record);
    using QDialog::update;

    const CalibrationRecord& record() const { return m_record; }

    // Controls (their object names are the window's: Label1-3, txtcon, lblAbs, Frame1, Option1-2,
    // cmdRepair, cmdIgnore); index 1..6 as on the window.
    QLabel* messageLabel() const { return m_messageLabel; }
    QLabel* concentrationHeader() const { return m_concentrationHeader; }
    QLabel* absorbanceHeader() const { return m_absorbanceHeader; }
    QLineEdit* txtcon(int index) const { return m_txtcon.at(static_cast<size_t>(index - 1)); }
    QLabel* lblAbs(int index) const { return m_lblAbs.at(static_cast<size_t>(index - 1)); }
    QGroupBox* effectBox() const { return m_effectBox; }
    QRadioButton* thisCalibrationOption() const { return m_thisCalibrationOption; }
    QRadioButton* futureCalibrationsOption() const { return m_futureCalibrationsOption; }
    QPushButton* cmdRepair() const { return m_cmdRepair; }
    QPushButton* cmdIgnore() const { return m_cmdIgnore; }

public slots:
    void cmdRepair_Click();
    void cmdIgnore_Click();
    void txtcon_Change(int index);

private:
    Store& m_store;
    CalibrationRecord m_record;
    QLabel* m_messageLabel = nullptr;
    QLabel* m_concentrationHeader = nullptr;
    QLabel* m_absorbanceHeader = nullptr;
    std::array<QLineEdit*, MaxStandards> m_txtcon{};
    std::array<QLabel*, MaxStandards> m_lblAbs{};
    QGroupBox* m_effectBox = nullptr;
    QRadioButton* m_thisCalibrationOption = nullptr;
    QRadioButton* m_futureCalibrationsOption = nullptr;
    QPushButton* m_cmdRepair = nullptr;
    QPushButton* m_cmdIgnore = nullptr;
};

// Opens one frmKalibError per mismatching calibration; the windows close (and delete) themselves.
class KalibErrorDialogs final : public CalibrationDialogs
{
public:
    explicit KalibErrorDialogs(Store& store) : m_store(store) {}
    void showMismatch(const CalibrationRecord& copy) override;
    // The windows still open, oldest first.
    QList<frmKalibError*> openWindows() const;

private:
    Store& m_store;
    QList<QPointer<frmKalibError>> m_windows;
};

} // namespace Quorlix
