#include "DriverRegistry.h"

namespace Quorlix {

void DriverRegistry::addHandler(const QStringList& entries, HandlerFactory factory)
{
    m_handlers.push_back({entries, std::move(factory)});
}

void DriverRegistry::addWork(const QString& name, Wanted wanted, WorkFactory factory)
{
    m_work.push_back({name, std::move(wanted), std::move(factory)});
}

const DriverRegistry::HandlerFactory* DriverRegistry::handler(const QString& entry) const
{
    for (const HandlerEntry& h : m_handlers) {
        if (h.entries.contains(entry))
            return &h.factory;
    }
    return nullptr;
}

QStringList DriverRegistry::entries() const
{
    QStringList all;
    for (const HandlerEntry& h : m_handlers)
        all += h.entries;
    return all;
}

std::vector<std::unique_ptr<BackgroundWork>> DriverRegistry::buildWork(const DriverServices& services) const
{
    std::vector<std::unique_ptr<BackgroundWork>> built;
    for (const WorkEntry& w : m_work) {
        if (w.wanted(services.settings))
            built.push_back(w.factory(services));
    }
    return built;
}

} // namespace Quorlix
