#pragma once

#include "store/qc/QcHistory.h"

#include <QDate>
#include <QWidget>

#include <functional>

class QComboBox;
class QDateEdit;
class QLabel;
class QStandardItemModel;
class QTableView;
class QVBoxLayout;

namespace Quorlix {

class Database;

// The Levey-Jennings window: the control results of a period (from/to days, one analyzer or all),
// one chart per control and parameter with its mean and 1/2/3 SD lines and its points coloured by
// the rules they fired, the targets each chart is judged against, and the rule events in a table
// below. "Export PDF..." writes every chart of the period to a file.
class frmQcChart final : public QWidget
{
    Q_OBJECT

public:
    // The period starts as the 30 days up to today, on the analyzer this instance serves.
    frmQcChart(Database& db, const QString& analyzerId, const QDate& today, QWidget* parent = nullptr);

    // Reads the chosen period again and redraws the charts and the table.
    void reload();
    // Writes the charts of the shown period to a PDF; returns an error text, empty on success.
    QString exportPdf(const QString& file);
    // Asks where "Export PDF..." writes (a save dialog unless a test answers); empty cancels.
    void setPdfFileChooser(std::function<QString()> chooser) { m_choosePdfFile = std::move(chooser); }

    QDateEdit* fromEdit() const { return m_from; }        // dtpFrom
    QDateEdit* toEdit() const { return m_to; }            // dtpTo
    QComboBox* analyzerBox() const { return m_analyzer; } // cboAnalyzer
    int chartCount() const { return m_chartCount; }
    QTableView* eventGrid() const { return m_eventGrid; } // grdEvents
    const QcPeriod& period() const { return m_period; }

private:
    void showPeriod();
    void exportWithChooser();

    Database& m_db;
    const QString m_ownAnalyzer;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QComboBox* m_analyzer = nullptr;
    QLabel* m_status = nullptr;
    QWidget* m_charts = nullptr;
    QVBoxLayout* m_chartLayout = nullptr;
    int m_chartCount = 0;
    QStandardItemModel* m_events = nullptr;
    QTableView* m_eventGrid = nullptr;
    QcPeriod m_period;
    std::function<QString()> m_choosePdfFile;
};

} // namespace Quorlix
