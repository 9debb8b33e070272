#include "MgcExchange.h"

#include "DbExchangeLog.h"
#include "MgcCalibrations.h"
#include "MgcDatabase.h"
#include "MgcJobs.h"
#include "MgcMarks.h"
#include "MgcOrders.h"
#include "MgcResults.h"
#include "comm/PeriodicTasks.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Settings.h"
#include "store/Spool.h"
#include "store/Store.h"

#include <QFileInfo>

namespace Quorlix {

namespace {

int g_connections = 0;

QString Counted(int n, const QString& one, const QString& many)
{
    return (n == 1 ? one : many).arg(n);
}

} // namespace

MgcExchange::MgcExchange(const DriverServices& services)
    : m_mgc(QStringLiteral("quorlix-mgc-%1").arg(++g_connections)),
      m_ctx(services.settings, services.db, m_mgc, services.log, services.clock, services.store)
{
    // The kinds first: records of them may wait in the spool from before a restart.
    services.store.kinds().require<MgcResultsJobKind>();
    services.store.kinds().require<MgcControlJobKind>();
    services.store.kinds().require<MgcCalibrationJobKind>();
    services.tasks.add(QStringLiteral("MgcCycle"), TimerInterval::MgcCycle, [this] { tick(); });
    // The start-up: the MGC240's database is opened. The controls are ordered at the first tick, after
    // what the analyzer measured of them meanwhile is taken.
    connect();
}

MgcExchange::~MgcExchange() = default;

bool MgcExchange::connect()
{
    if (m_mgc.isOpen() && !m_ctx.mgcLost)
        return true;
    const DatabaseTarget target = DescribeMgcDatabase(m_ctx.settings);
    QString error = target.error;
    // SQLite would make an empty file of a mistyped path.
    if (error.isEmpty() && target.qtDriver == QLatin1String("QSQLITE") &&
        !QFileInfo::exists(target.databaseName))
        error = QStringLiteral("the file %1 does not exist").arg(target.databaseName);
    if (error.isEmpty()) {
        m_mgc.close();
        error = m_mgc.open(target);
    }
    if (!error.isEmpty()) {
        m_openFailed = true;
        m_ctx.problem(QStringLiteral("connect"),
                      QStringLiteral("the MGC240 database cannot be opened (tried again every %1 s): %2")
                          .arg(TimerInterval::MgcCycle / 1000)
                          .arg(error));
        return false;
    }
    if (m_ctx.mgcLost || m_openFailed)
        m_ctx.log.monitor(QStringLiteral("the %1 is open").arg(target.description));
    m_ctx.mgcLost = false;
    m_openFailed = false;
    return true;
}

bool MgcExchange::prepare(ChannelMap& channels, ItemNames& names)
{
    if (const QString error = channels.load(m_ctx); !error.isEmpty()) {
        m_ctx.problem(QStringLiteral("channels"),
                      QStringLiteral("MGC240 exchange waits: param2channel cannot be read: %1").arg(error));
        return false;
    }
    if (const QString error = names.load(m_ctx); !error.isEmpty()) {
        m_ctx.problem(QStringLiteral("items"),
                      QStringLiteral("MGC240 exchange waits: itempara cannot be read: %1").arg(error));
        return false;
    }
    return true;
}

bool MgcExchange::spoolWaiting() const
{
    const Spool* spool = m_ctx.store.spool();
    return spool && spool->hasPending();
}

void MgcExchange::tick()
{
    m_ctx.beginTick();
    if (!connect())
        return;
    if (m_ctx.labLost && !spoolWaiting()) {
        // The spool opens the connection again while it holds records; otherwise it is done here.
        if (!m_ctx.lab.reconnect()) {
            m_ctx.problem(QStringLiteral("lab"),
                          QStringLiteral("MGC240 exchange waits: the laboratory database cannot be reached"));
            return;
        }
        m_ctx.labLost = false;
    }

    ChannelMap channels;
    ItemNames names;
    if (!prepare(channels, names))
        return;
    if (const QDate today = m_ctx.clock.now().date(); m_purged != today) {
        PurgeMgcMarks(m_ctx);
        m_purged = today;
    }

    OpenRequests open;
    OrderCounts orders;
    ResultCounts results;
    if (const QString error = ReadOpenRequests(m_ctx, &open); !error.isEmpty()) {
        m_ctx.problem(
            QStringLiteral("open"),
            QStringLiteral("MGC240 orders and results wait: request cannot be read: %1").arg(error));
    } else {
        orders = MgcSendOrders(m_ctx, channels, names, open);
        // While earlier records wait in the spool, the analyzer's results wait in its own database.
        if (!spoolWaiting())
            results = MgcFetchResults(m_ctx, channels, names, open);
    }
    // The controls' results are taken before any control is ordered: ordering withdraws only what
    // is settled.
    int controls = 0;
    MgcControlsView view;
    if (const QString error = ReadMgcControls(m_ctx, channels, &view); !error.isEmpty()) {
        m_ctx.problem(QStringLiteral("controls"),
                      QStringLiteral("controls not taken from or ordered on the MGC240: %1").arg(error));
    } else {
        if (!spoolWaiting())
            controls = MgcFetchControls(m_ctx, channels, view);
        m_controls.MgcRegisterControls(m_ctx, channels, names, view);
    }
    MgcCheckComPort(m_ctx);
    const int calibrations = spoolWaiting() ? 0 : MgcFetchCalibrations(m_ctx, channels);

    qCDebug(lcDbExchange) << "exchange: open requests" << open.rows << "orders" << orders.samples << "results"
                          << results.stored << "controls" << controls << "calibrations" << calibrations;
    QStringList done;
    if (orders.samples > 0)
        done << Counted(orders.samples, QStringLiteral("order of %1 sample written"),
                        QStringLiteral("orders of %1 samples written"));
    if (orders.withdrawn > 0)
        done << Counted(orders.withdrawn, QStringLiteral("%1 item withdrawn"),
                        QStringLiteral("%1 items withdrawn"));
    if (orders.removed > 0)
        done << Counted(orders.removed, QStringLiteral("%1 order without items removed"),
                        QStringLiteral("%1 orders without items removed"));
    if (results.again > 0)
        done << Counted(results.again, QStringLiteral("tests of %1 sample ordered again"),
                        QStringLiteral("tests of %1 samples ordered again"));
    if (results.stored > 0)
        done << Counted(results.stored, QStringLiteral("results of %1 sample taken"),
                        QStringLiteral("results of %1 samples taken"));
    if (controls > 0)
        done << Counted(controls, QStringLiteral("%1 control result taken"),
                        QStringLiteral("%1 control results taken"));
    if (calibrations > 0)
        done << Counted(calibrations, QStringLiteral("%1 calibration taken"),
                        QStringLiteral("%1 calibrations taken"));
    if (!done.isEmpty())
        m_ctx.log.monitor(QStringLiteral("MGC240: ") + done.join(QStringLiteral(", ")));
}

} // namespace Quorlix
