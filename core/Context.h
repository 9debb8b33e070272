#pragma once

#include "Clock.h"
#include "Settings.h"
#include "Stamps.h"
#include "../store/Records.h"

#include <QDateTime>
#include <QLocale>

namespace Quorlix {

class CalibrationDialogs;
class CommLog;
class Database;
class LinePort;
class Spool;

// When each line last received something. A link that never received counts as silent for ever.
struct LinkState
{
    QDateTime LastAnalyzerInput;
    QDateTime LastLimsInput;
    bool analyzerOnline = true; // the window shows "online" until the first supervision tick
    bool limsOnline = true;
};

// Everything the program shares across its handlers: settings, clock, database, log, ports, the
// link state and the records a driver fills for the store. One instance per process, handed to
// every driver; all of it is used from the one event-loop thread.
struct Context
{
    Settings settings;
    const Clock* clock = nullptr;
    QLocale locale;
    Database* db = nullptr;
    CommLog* log = nullptr;
    LinePort* analyzerPort = nullptr; // MSComm1
    LinePort* limsPort = nullptr;     // MSComm2
    LinkState link;
    Spool* spool = nullptr;                           // records kept while the database fails
    CalibrationDialogs* calibrationDialogs = nullptr; // none under --headless

    SampleRecord sample;
    HitachiFrameRecord frame;
    CalibrationRecord calibration;
    // The complete frame the records above were cut from, while a driver stores it: an analyzer
    // that got no answer sends the same frame again, and it must not be stored twice.
    QString receivedFrame;

    QDateTime now() const { return clock->now(); }
    QString nowStamp() const { return NowStamp(clock->now(), locale); }
    // ToSqlStamp of NowStamp: the form every time stamp of the program is made in.
    QString sqlNow() const { return ToSqlStamp(nowStamp(), locale); }
};

} // namespace Quorlix
