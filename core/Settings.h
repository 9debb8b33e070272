#pragma once

#include <QMap>
#include <QString>
#include <optional>

namespace Quorlix {

// The process-wide settings: the command-line switches of one analyzer process and the site
// settings of quorlix.ini. Filled once at start-up and not changed afterwards.
struct Settings
{
    // Command line ("/key=value" switches).
    QString AnalyzerId;
    QString AnalyzerType;
    std::optional<int> AnalyzerComPort; // empty when /com was not given
    QString OutType;
    std::optional<int> OutComPort; // empty when /outcom was not given
    QString OutId;
    QString AutoVal;
    std::optional<qint16> InputParameterId;

    // quorlix.ini
    QString Language;
    QString SqlServer;
    QString SqlDatabase;
    QString SqlLoginMode;
    QString AccessPath;
    QString ControlMask;
    QString ShowCalibChart = QStringLiteral("0");
    QString IseSetting;
    QString AppPath;
    QString ComLogPath;
    double ShiftLength = 0;
    QString FirstShift;
    QString Mgc240Name;
    QString IndikoRequest;
    QString PicSavePath;
    QString ImportPath;
    QString CustImportPath;
    QString ExportPath;
    QString ImportCycle;
    QString LangNumberFormat;
    QString Au600Pause;  // key `au600pause`: the AU600's pause before each send, in ms (empty: 750)
    bool QcHold = false; // key `QcHold=1`: a rejected control holds its parameter from autovalidation
    // Key `heartbeat=0`: no status row in analyzer_status. Also cleared by the start-up when that
    // table is missing and cannot be created.
    bool Heartbeat = true;
    QString Metrics; // key `metrics`: HOST:PORT (a port alone: on the loopback) serving /metrics; empty: off

    // Site keys for this platform: database driver and login, and the devices behind port numbers.
    QString DbDriver; // sqlite, postgresql, sqlserver, odbc; empty: chosen from `server`
    QString DbUser;
    QString DbPassword;
    QString OdbcDriver;
    QString OdbcConnection;        // key `odbc`: a complete ODBC connection string
    QMap<int, QString> ComDevices; // key `com<N>`
    QString MgcDriver;             // the MGC240's own database: access, sqlite, odbc; empty: by platform
    QString MgcOdbcConnection;     // key `mgcodbc`: a complete ODBC connection string

    QString IniPath; // the file the site settings came from

    // Set by the start-up: the computer's name (the sender of ASTM answers), and the station table
    // of a manual-input instance ("INPUT_" and its id).
    QString ComputerName;
    QString InputTableName;
    // Cleared by the start-up when the quality-control tables are missing and cannot be created:
    // controls are then stored without being judged, and nothing is held.
    bool QcTables = true;

    // A LIMS side is configured when an out-type and an out-port were both given.
    bool hasLimsSide() const { return !OutType.isEmpty() && OutComPort.has_value(); }
};

} // namespace Quorlix
