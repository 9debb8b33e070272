#pragma once

#include "AnalyzerType.h"
#include "DriverServices.h"
#include "comm/LineHandler.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace Quorlix {

// Work of a driver that no line drives: it lives while the program runs and does its work in the
// periodic tasks it registered (the MGC240 database cycle, the forwarding to the LIMS).
class BackgroundWork
{
public:
    virtual ~BackgroundWork() = default;
};

// The analyzer types this program serves and the drivers that serve them. Each family registers
// its types (what the program asks about a type) and its handlers (by entry name) with one call;
// the engine builds only what the configuration selects.
class DriverRegistry
{
public:
    using HandlerFactory = std::function<std::unique_ptr<LineHandler>(const DriverServices&)>;
    using WorkFactory = std::function<std::unique_ptr<BackgroundWork>(const DriverServices&)>;
    using Wanted = std::function<bool(const Settings&)>;

    // A handler of a line, built for any of these entry names.
    void addHandler(const QStringList& entries, HandlerFactory factory);
    // Work built when the configuration wants it.
    void addWork(const QString& name, Wanted wanted, WorkFactory factory);

    void addType(AnalyzerType type);
    void addLimsSide(LimsSideType side);

    // The type of a /type= name; null when no family serves it.
    const AnalyzerType* type(const QString& name) const;
    const std::vector<AnalyzerType>& types() const { return m_types; }
    const std::vector<LimsSideType>& limsSides() const { return m_limsSides; }
    // The entry of the analyzer line for a type name; empty when none.
    QString analyzerEntry(const QString& typeName, bool limsSide) const;
    // The LIMS side an out-id or out-type selects; null when none.
    const LimsSideType* limsSide(const QString& outId, const QString& outType) const;
    // How many wake-up frames one silent period sends: one per LIMS side the out-id or the
    // out-type selects that wants it.
    int wakeUps(const QString& outId, const QString& outType) const;

    // The factory of an entry; null when no driver serves it.
    const HandlerFactory* handler(const QString& entry) const;
    QStringList entries() const;
    // The work the settings want, built.
    std::vector<std::unique_ptr<BackgroundWork>> buildWork(const DriverServices& services) const;

private:
    struct HandlerEntry
    {
        QStringList entries;
        HandlerFactory factory;
    };
    struct WorkEntry
    {
        QString name;
        Wanted wanted;
        WorkFactory factory;
    };
    std::vector<AnalyzerType> m_types;
    std::vector<LimsSideType> m_limsSides;
    std::vector<HandlerEntry> m_handlers;
    std::vector<WorkEntry> m_work;
};

} // namespace Quorlix
