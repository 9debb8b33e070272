#pragma once

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

// The drivers this program can run, by the entry names of the dispatch tables. Each family of
// drivers registers itself with one call; the engine builds only what the configuration selects.
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
    std::vector<HandlerEntry> m_handlers;
    std::vector<WorkEntry> m_work;
};

} // namespace Quorlix
