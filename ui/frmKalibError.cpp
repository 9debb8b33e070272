#include "frmKalibError.h"

#include "store/Store.h"
#include "store/StoreValues.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace Quorlix {

frmKalibError::frmKalibError(Store& store, QWidget* parent) : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("frmKalibError"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_messageLabel = new QLabel(
        QStringLiteral("The analyzer has sent calibration data not fitting your settings !"), this);
    m_messageLabel->setObjectName(QStringLiteral("Label1"));
    m_messageLabel->setWordWrap(true);
    m_concentrationHeader = new QLabel(QStringLiteral("Concentration"), this);
    m_concentrationHeader->setObjectName(QStringLiteral("Label2"));
    m_absorbanceHeader = new QLabel(QStringLiteral("average Absorbance"), this);
    m_absorbanceHeader->setObjectName(QStringLiteral("Label3"));

    auto* grid = new QGridLayout;
    grid->addWidget(m_concentrationHeader, 0, 0);
    grid->addWidget(m_absorbanceHeader, 0, 1);
    for (int i = 1; i <= MaxStandards; ++i) {
        auto* text = new QLineEdit(this);
        text->setObjectName(QStringLiteral("txtcon(%1)").arg(i));
        text->setVisible(false);
        connect(text, &QLineEdit::textChanged, this, [this, i] { txtcon_Change(i); });
        auto* absorbance = new QLabel(this);
        absorbance->setObjectName(QStringLiteral("lblAbs(%1)").arg(i));
        absorbance->setVisible(false);
        grid->addWidget(text, i, 0);
        grid->addWidget(absorbance, i, 1);
        m_txtcon[static_cast<size_t>(i - 1)] = text;
        m_lblAbs[static_cast<size_t>(i - 1)] = absorbance;
    }

    m_effectBox = new QGroupBox(QStringLiteral("effect on ..."), this);
    m_effectBox->setObjectName(QStringLiteral("Frame1"));
    m_thisCalibrationOption = new QRadioButton(QStringLiteral("... this calibration"), m_effectBox);
    m_thisCalibrationOption->setObjectName(QStringLiteral("Option1"));
    m_futureCalibrationsOption = new QRadioButton(QStringLiteral("... future calibrations"), m_effectBox);
    m_futureCalibrationsOption->setObjectName(QStringLiteral("Option2"));
    m_thisCalibrationOption->setChecked(true); // the settings change only when the operator asks for it
    auto* options = new QVBoxLayout(m_effectBox);
    options->addWidget(m_thisCalibrationOption);
    options->addWidget(m_futureCalibrationsOption);

    m_cmdRepair = new QPushButton(QStringLiteral("Repair"), this);
    m_cmdRepair->setObjectName(QStringLiteral("cmdRepair"));
    m_cmdIgnore = new QPushButton(QStringLiteral("Ignore"), this);
    m_cmdIgnore->setObjectName(QStringLiteral("cmdIgnore"));
    m_cmdRepair->setAutoDefault(false);
    m_cmdIgnore->setAutoDefault(false);
    connect(m_cmdRepair, &QPushButton::clicked, this, &frmKalibError::cmdRepair_Click);
    connect(m_cmdIgnore, &QPushButton::clicked, this, &frmKalibError::cmdIgnore_Click);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdRepair);
    buttons->addWidget(m_cmdIgnore);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_messageLabel);
    layout->addLayout(grid);
    layout->addWidget(m_effectBox);
    layout->addLayout(buttons);
}

void frmKalibError::update(const CalibrationRecord& record)
{
    m_record = record;
    m_record.CalStdCount = qBound(qint16(0), m_record.CalStdCount, qint16(MaxStandards));
    setWindowTitle(QStringLiteral("Parameter: ") + m_store.ParameterShortName(m_record.CalParameterId));
    for (int i = 1; i <= m_record.CalStdCount; ++i) {
        const CalStandard& s = m_record.CalStandards[static_cast<size_t>(i - 1)];
        const double average = (NumberOfText(s.Readings[0]) + NumberOfText(s.Readings[2])) / 2;
        lblAbs(i)->setText(QString::number(static_cast<qint64>(std::round(average))));
        lblAbs(i)->setVisible(true);
        const QString concentration = s.Concentration; // setText below may change the copy
        txtcon(i)->setText(concentration);
        txtcon(i)->setVisible(true);
    }
}

void frmKalibError::txtcon_Change(int index)
{
    QLineEdit* text = txtcon(index);
    CalStandard& standard = m_record.CalStandards[static_cast<size_t>(index - 1)];
    if (!IsNumericText(text->text())) {
        // What the box shows is what Repair stores: a cleared box is an empty concentration.
        standard.Concentration.clear();
        if (!text->text().isEmpty())
            text->clear();
        return;
    }
    standard.Concentration = text->text();
}

void frmKalibError::cmdRepair_Click()
{
    m_store.StoreRepairedCalibration(m_record, m_futureCalibrationsOption->isChecked());
    close();
}

void frmKalibError::cmdIgnore_Click()
{
    close();
}

void KalibErrorDialogs::showMismatch(const CalibrationRecord& copy)
{
    auto* window = new frmKalibError(m_store);
    window->update(copy);
    window->show();
    m_windows.removeAll(QPointer<frmKalibError>());
    m_windows.append(window);
}

QList<frmKalibError*> KalibErrorDialogs::openWindows() const
{
    QList<frmKalibError*> open;
    for (const QPointer<frmKalibError>& window : m_windows) {
        if (window)
            open.append(window.data());
    }
    return open;
}

} // namespace Quorlix
