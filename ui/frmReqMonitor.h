#pragma once

#include <QWidget>

class QStandardItemModel;
class QTableView;

namespace Quorlix {

class CommLog;
class Database;

// The request monitor: the open orders (table request, with any result already received) and the
// tests still to be reported to the LIMS (table req2send), as two read-only grids. It shows a
// snapshot, read when it opens and whenever the operator presses "RELOAD".
class frmReqMonitor final : public QWidget
{
    Q_OBJECT

public:
    // A failing query is reported on the log's monitor line when a log is given.
    frmReqMonitor(Database& db, CommLog* log, QWidget* parent = nullptr);

    // Reads both grids again.
    void RefreshGrids();

private:
    void fill(QStandardItemModel* model, QTableView* grid, const QString& table, const QString& sql);

    Database& m_db;
    CommLog* m_log;
    QStandardItemModel* m_requests = nullptr;
    QStandardItemModel* m_toSend = nullptr;
    QTableView* m_requestGrid = nullptr; // DataGrid1
    QTableView* m_toSendGrid = nullptr;  // DataGrid2
};

} // namespace Quorlix
