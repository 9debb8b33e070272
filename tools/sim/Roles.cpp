#include "ActAnalyzerRole.h"
#include "AstmAnalyzerRole.h"
#include "AuAnalyzerRole.h"
#include "AuLimsHostRole.h"
#include "HitachiAnalyzerRole.h"
#include "LimsHostRole.h"
#include "SimRole.h"

namespace QuorlixSim {

namespace {

struct RoleEntry
{
    const char* name;
    const char* about;
    std::function<std::unique_ptr<SimRole>()> make;
};

// One line per role the simulator can play.
const std::vector<RoleEntry>& Roles()
{
    static const std::vector<RoleEntry> roles{
        {"911", "a Hitachi 911 toward its host",
         [] { return std::make_unique<HitachiAnalyzerRole>(Model::H911); }},
        {"902", "a Hitachi 902 toward its host",
         [] { return std::make_unique<HitachiAnalyzerRole>(Model::H902); }},
        {"912", "a Hitachi 912 toward its host",
         [] { return std::make_unique<HitachiAnalyzerRole>(Model::H912); }},
        {"lims-912", "a LIMS that plays the Hitachi host toward the Hitachi 912 emulation",
         [] { return std::make_unique<LimsHostRole>(); }},
        {"au400", "an Olympus AU400 toward its host", [] { return std::make_unique<AuAnalyzerRole>(false); }},
        {"au600", "an Olympus AU600 toward its host", [] { return std::make_unique<AuAnalyzerRole>(false); }},
        {"au680", "an Olympus AU680 toward its host (decimal comma)",
         [] { return std::make_unique<AuAnalyzerRole>(true); }},
        {"lims-au", "a LIMS that plays the AU host toward the AU relay",
         [] { return std::make_unique<AuLimsHostRole>(); }},
        {"indiko", "a Thermo Indiko toward its host (ASTM, one frame per record)",
         [] { return std::make_unique<AstmAnalyzerRole>(false); }},
        {"dsx", "a Dynex DSX toward its host (ASTM, each message one chain of frames)",
         [] { return std::make_unique<AstmAnalyzerRole>(true); }},
        {"act", "a Coulter ACT 8 toward its host (it only sends)",
         [] { return std::make_unique<ActAnalyzerRole>(); }},
    };
    return roles;
}

} // namespace

std::unique_ptr<SimRole> MakeRole(const QString& name, QString* error)
{
    for (const RoleEntry& role : Roles()) {
        if (name == QLatin1String(role.name))
            return role.make();
    }
    QStringList names;
    for (const RoleEntry& role : Roles())
        names << QLatin1String(role.name);
    *error = QStringLiteral("unknown role \"%1\" (roles: %2)").arg(name, names.join(QStringLiteral(", ")));
    return nullptr;
}

QString RolesHelp()
{
    // Roles that share their script lines (the three Hitachi models) are described once.
    QString text;
    QString previousHelp;
    for (const RoleEntry& role : Roles()) {
        const QString help = role.make()->help();
        if (help != previousHelp)
            text += QStringLiteral("\n") + help;
        text += QStringLiteral("role %1: %2\n").arg(QLatin1String(role.name), QLatin1String(role.about));
        previousHelp = help;
    }
    return text;
}

} // namespace QuorlixSim
