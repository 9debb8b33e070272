#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace Quorlix {

class ConfigChecks;
class Database;
struct DatabaseTarget;
class LineHandler;
class SampleChoice;
struct Settings;

// The operator windows a type may need beside the main window.
enum class OperatorWindow
{
    None,
    SampleChoice, // names each measurement before it arrives (frmSetID)
    ManualInput,  // results typed in by the operator (frmPushInput)
};

// Everything the program outside a driver family knows of one analyzer type: the family registers
// it; dispatch, start-up, link supervision, the configuration check, the command line and the
// desktop ask for it instead of comparing type names.
struct AnalyzerType
{
    // The /type= names it answers to (case-sensitive).
    QStringList names;
    // The handler entry for the analyzer line, without and with a LIMS side. Empty: no handler
    // (nothing reads the line); SilentEntry: the input is read and dropped.
    QString entry;
    QString entryWithLims;
    // The analyzer speaks on a serial line (false: it is reached through a database or a window).
    bool hasLine = true;
    // Its link is marked online/offline by the age of its input.
    bool supervisedLink = true;
    // The Hitachi simulation window can feed its handler (only a handler served with a LIMS side).
    bool offersSimulationWithLims = false;
    OperatorWindow window = OperatorWindow::None;
    // Logged when the operator window cannot be shown (--headless); empty: nothing is said.
    QString withoutWindowNote;
    // The icon file in icons/ (empty: the type's first name with ".ico").
    QString icon;
    // Checks of --check-config beyond the common ones (its own database, …); may be empty.
    std::function<void(ConfigChecks&, const Settings&)> checks;
    // Work before the engine starts (e.g. a table of its own); returns an error line, empty on
    // success. May be empty.
    std::function<QString(Database&, Settings&)> prepare;
    // What the operator window drives in the running handler; may be empty.
    std::function<SampleChoice*(LineHandler&)> sampleChoice;

    QString iconFile() const { return icon.isEmpty() ? names.value(0) + QLatin1String(".ico") : icon; }
};

// The LIMS side of a configuration (/outid=, /outtype=): the handler entry that serves the LIMS
// line, and whether the silent LIMS gets the wake-up frame.
struct LimsSideType
{
    QStringList outIds;   // matched first
    QStringList outTypes; // matched when no out-id matches
    QString entry;        // empty: nothing serves the LIMS line
    bool wakeUp = false;
};

// The results of --check-config, as a family adds its own.
class ConfigChecks
{
public:
    virtual ~ConfigChecks() = default;
    virtual void ok(const QString& what) = 0;
    virtual void fail(int exitCode, const QString& why) = 0;
    // Opens the database (kept in `file`, empty for a server) and finds the tables of the
    // laboratory schema, or of the MGC240's own schema.
    virtual void database(const QString& connection, const DatabaseTarget& target, const QString& file,
                          bool mgc240Schema) = 0;
};

} // namespace Quorlix
