#pragma once

#include "SimScript.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

namespace QuorlixSim {

class SimSession;

// One step of a script, ready to run.
using SimStep = std::function<void(SimSession&)>;

// What the simulator plays: an analyzer of some protocol, or a LIMS host. A role reads the script
// lines of its protocol into steps; the runner does the rest (timing, noise, line loss, the
// summary).
class SimRole
{
public:
    virtual ~SimRole() = default;
    // The step for a script line of this role; false (and no error) when the verb is not its own.
    virtual bool parse(const ScriptLine& line, SimStep& step, QString* error) = 0;
    // Its script lines, for --help.
    virtual QString help() const = 0;
    // A LIMS host answers the interface's inquiries instead of sending frames to be answered.
    virtual bool playsHost() const { return false; }
    // The script line of this role that sends one result of a control for a test (as the role
    // names tests); empty when the role sends no results. Protocols that carry a measurement time
    // carry the one given.
    virtual QString controlLine(const QString& controlId, const QString& test, const QString& value,
                                const QDateTime& measured) const
    {
        Q_UNUSED(controlId)
        Q_UNUSED(test)
        Q_UNUSED(value)
        Q_UNUSED(measured)
        return {};
    }
};

// The role a script names with "model NAME" or "role NAME" (the Hitachi 911 when it names none);
// null with an error for an unknown name.
std::unique_ptr<SimRole> MakeRole(const QString& name, QString* error);
// Every role's name and a line about it, for --help.
QString RolesHelp();

} // namespace QuorlixSim
