#pragma once

#include "drivers/DriverRegistry.h"

#include <QHash>
#include <QSet>
#include <QString>

namespace Quorlix {

class Clock;
class CommLog;
class Database;
class Line;
class SqlResult;
class Store;
struct Settings;

// Type "MGC_ONLINE": no analyzer line. Every MGC online cycle reports the results listed in MGC_Result
// to the LIMS, one frame per sample (with AutoVal "1" the finished orders are first validated and
// listed there), and announces the sample ids of MGC_SampleID that have no sample information yet.
// A result leaves MGC_Result only with the frame that was handed to the open LIMS line.
class MgcOnlineExchange final : public BackgroundWork
{
public:
    explicit MgcOnlineExchange(const DriverServices& services);

    // One MGC online cycle: MgcOnlineCheckResults, then MgcOnlineCheckSampleIds.
    void tick();

    void MgcOnlineCheckResults();
    // With AutoVal "1": finished orders into results (validation set 1) and MGC_Result, out of
    // request, in one transaction.
    void MgcMoveResults();
    // The result frame of one sample.
    void MgcSendResult(const QString& sampleId);
    void MgcOnlineCheckSampleIds();
    // The sample-id frame; false when it could not be sent.
    bool MgcSendSampleId(const QString& sampleId);

private:
    // A line of the day's log file: "MGC ONLINE Module " & now & text.
    void logFile(const QString& text);
    bool limsReady();
    void failed(const QString& key, const QString& text, const SqlResult* result = nullptr);

    const Settings& m_settings;
    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    Store& m_store;
    Line& m_lims;
    bool m_limsReported = false;
    bool m_lost = false;
    // Listed results that cannot be sent ("sample|parameter"), each named once.
    QSet<QString> m_unsendable;
    QHash<QString, QString> m_previous; // failures reported in the last tick
    QHash<QString, QString> m_current;
};

} // namespace Quorlix
