#pragma once

#include "ControlTargets.h"
#include "store/DbOutcome.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace Quorlix {

class Database;

// One rule a stored control result fired (a control_rule_events row).
struct QcEvent
{
    QString controlId;
    qint16 parameterId = 0;
    QString analyzerId;
    QDateTime stamp;  // the control result's time stamp
    QString rule;     // "1-2s", "1-3s", "2-2s", "R-4s", "4-1s", "10-x"
    QString severity; // "warning" or "rejection"
    double zScore = 0;
};

// One control result of a series, with the rules it fired.
struct QcPoint
{
    QDateTime stamp;
    double value = 0;
    double zScore = 0; // against the series' targets; 0 when they are not usable
    QStringList rules;
    bool warning = false;
    bool rejection = false;
};

// The results of one control and parameter on one analyzer over a period.
struct QcSeries
{
    QString controlId;
    qint16 parameterId = 0;
    QString parameterName; // test_def.short, or the number when the test has none
    QString analyzerId;
    ControlTargets targets; // valid at the series' last point
    QList<QcPoint> points;  // in time order
};

struct QcPeriod
{
    QDateTime from;
    QDateTime to;
    QList<QcSeries> series; // ordered by analyzer, control, parameter
    QList<QcEvent> events;  // in time order
    bool truncated = false; // more than MaxQcPeriodRows results or events: the period was cut short
};

// The most control results, and the most rule events, one period reads: a window or a report of a
// year on a busy analyzer stays within memory.
inline constexpr int MaxQcPeriodRows = 100000;

// The control results and rule events with time stamps in [from, to], of one analyzer or (empty
// analyzerId) of all.
DbOutcome LoadQcPeriod(Database& db, const QDateTime& from, const QDateTime& to, const QString& analyzerId,
                       QcPeriod* period);

} // namespace Quorlix
