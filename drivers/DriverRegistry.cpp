#include "DriverRegistry.h"

namespace Quorlix {

void DriverRegistry::addType(AnalyzerType type)
{
    m_types.push_back(std::move(type));
}

void DriverRegistry::addLimsSide(LimsSideType side)
{
    m_limsSides.push_back(std::move(side));
}

const AnalyzerType* DriverRegistry::type(const QString& name) const
{
    for (const AnalyzerType& t : m_types) {
        if (t.names.contains(name))
            return &t;
    }
    return nullptr;
}

QString DriverRegistry::analyzerEntry(const QString& typeName, bool limsSide) const
{
    const AnalyzerType* t = type(typeName);
    if (!t)
        return {};
    return limsSide ? t->entryWithLims : t->entry;
}

const LimsSideType* DriverRegistry::limsSide(const QString& outId, const QString& outType) const
{
    for (const LimsSideType& side : m_limsSides) {
        if (side.outIds.contains(outId))
            return &side;
    }
    for (const LimsSideType& side : m_limsSides) {
        if (side.outTypes.contains(outType))
            return &side;
    }
    return nullptr;
}

int DriverRegistry::wakeUps(const QString& outId, const QString& outType) const
{
    int count = 0;
    for (const LimsSideType& side : m_limsSides) {
        if (side.wakeUp && side.outIds.contains(outId))
            ++count;
        if (side.wakeUp && side.outTypes.contains(outType))
            ++count;
    }
    return count;
}

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
