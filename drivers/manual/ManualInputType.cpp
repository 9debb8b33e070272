#include "ManualInputType.h"

#include "core/Database.h"
#include "core/Settings.h"
#include "core/SqlDialect.h"
#include "drivers/DriverRegistry.h"

#include <QRegularExpression>

namespace Quorlix {

QString EnsureStationTable(Database& db, Settings& settings)
{
    const QString name = settings.AnalyzerType + QLatin1Char('_') + settings.AnalyzerId;
    const QString error = QStringLiteral("cannot create the station table %1").arg(name);
    // The name becomes an identifier: only letters, digits and "_" can stand in it.
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!identifier.match(name).hasMatch())
        return error;
    settings.InputTableName = name;
    if (!db.tableExists(name) && !db.run(db.dialect().createEmptyCopy(name, QStringLiteral("request"))).ok())
        return error;
    return {};
}

void RegisterManualInput(DriverRegistry& registry)
{
    registry.addType({.names = {QStringLiteral("INPUT")},
                      .hasLine = false,
                      .window = OperatorWindow::ManualInput,
                      .withoutWindowNote = QStringLiteral(
                          "manual input needs its window (frmPushInput): nothing can be entered without it"),
                      .prepare = EnsureStationTable});
}

} // namespace Quorlix
