#pragma once

namespace Quorlix {

class Clock;
class CommLog;
class Database;
class Line;
class LineHandler;
class PeriodicTasks;
class Store;
class Timers;
struct InstanceStats;
struct LinkState;
struct Settings;

// What a driver is built from: the services of the running program, handed over explicitly. A
// driver keeps the ones it uses; none of them is ever missing.
struct DriverServices
{
    const Settings& settings;
    Database& db;
    CommLog& log;
    const Clock& clock;
    Timers& timers;
    Store& store;
    Line& analyzerLine; // MSComm1
    Line& limsLine;     // MSComm2
    const LinkState& link;
    // Where a driver registers its periodic work (the MGC240, LIMS forwarding and MGC online cycles).
    PeriodicTasks& tasks;
    // The instance's counters: a driver counts the order requests it answers there.
    InstanceStats& stats;
    // For a LIMS-side handler: the handler of the analyzer line, when there is one.
    LineHandler* analyzerHandler = nullptr;
};

} // namespace Quorlix
