#include "MgcContext.h"

#include "MgcDatabase.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "store/DbOutcome.h"

namespace Quorlix {

namespace {

// Ids per piece of an IN list: far below every server's limit of bound values.
constexpr int PieceSize = 200;

} // namespace

MgcContext::MgcContext(const Settings& settingsOf, Database& labDb, Database& mgcDb, CommLog& logTo,
                       const Clock& clockOf, Store& storeTo)
    : settings(settingsOf), lab(labDb), mgc(mgcDb), log(logTo), clock(clockOf), store(storeTo)
{
}

void MgcContext::problem(const QString& key, const QString& text)
{
    m_current.insert(key, text);
    if (m_reported.value(key) != text)
        log.monitor(text);
    m_reported.insert(key, text);
}

void MgcContext::beginTick()
{
    m_reported = m_current;
    m_current.clear();
}

void MgcContext::noteFailure(Database& db, const SqlResult& result)
{
    noteFailure(db, result.connectionLost());
}

void MgcContext::noteFailure(Database& db, const DbOutcome& outcome)
{
    noteFailure(db, outcome.connectionLost);
}

void MgcContext::noteFailure(Database& db, bool saysLost)
{
    // Not every driver names a lost connection as such (the Access driver reports a file that went
    // away as "Disk or network error"): a connection that no longer answers is lost too.
    if (!saysLost && db.isOpen() && db.answers())
        return;
    (&db == &mgc ? mgcLost : labLost) = true;
}

QVariant MgcContext::mgcDate(const QDateTime& moment) const
{
    return MgcDateValue(mgc, moment);
}

QVariant MgcContext::orderDay() const
{
    return mgcDate(QDateTime(clock.now().date(), QTime(0, 0)));
}

QString QueryInPieces(Database& db, const QString& sql, const QVariantList& before, const QStringList& ids,
                      const std::function<void(SqlResult&)>& row, MgcContext& ctx)
{
    const QString text = sql.arg(Placeholders(PieceSize));
    for (qsizetype start = 0; start < ids.size(); start += PieceSize) {
        QVariantList values = before;
        for (qsizetype i = start; i < start + PieceSize; ++i)
            values << ids.at(qMin(i, ids.size() - 1));
        SqlResult result = db.run(text, values);
        if (!result.ok()) {
            ctx.noteFailure(db, result);
            return result.error().simplified();
        }
        while (result.next())
            row(result);
        result.finish();
    }
    return {};
}

qint16 Int16Of(const QVariant& value)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < -32768 || number > 32767)
        return 0;
    return qint16(number);
}

QString ChannelMap::load(MgcContext& ctx)
{
    m_channel.clear();
    m_parameter.clear();
    m_parameters.clear();
    SqlResult rows = ctx.lab.run(
        QStringLiteral("SELECT parameter_id, channel_id FROM param2channel WHERE analyzer_id = ?"),
        {ctx.settings.AnalyzerId});
    if (!rows.ok()) {
        ctx.noteFailure(ctx.lab, rows);
        return rows.error().simplified();
    }
    // The first row of a parameter (or a channel) counts, as a lookup by key reads it.
    while (rows.next()) {
        const qint16 parameter = Int16Of(rows.value(0));
        const qint16 channel = Int16Of(rows.value(1));
        if (!m_channel.contains(parameter)) {
            m_channel.insert(parameter, channel);
            m_parameters << parameter;
        }
        if (!m_parameter.contains(channel))
            m_parameter.insert(channel, parameter);
    }
    return {};
}

QString ItemNames::load(MgcContext& ctx)
{
    m_names.clear();
    SqlResult rows = ctx.mgc.run(QStringLiteral("SELECT item_no, item_name FROM itempara"));
    if (!rows.ok()) {
        ctx.noteFailure(ctx.mgc, rows);
        return rows.error().simplified();
    }
    while (rows.next()) {
        const qint16 item = Int16Of(rows.value(0));
        if (!m_names.contains(item))
            m_names.insert(item, NullToText(rows.value(1)));
    }
    return {};
}

QString ItemNames::MgcItemName(qint16 item) const
{
    const auto found = m_names.constFind(item);
    if (found != m_names.constEnd())
        return *found;
    return QStringLiteral("ni(%1)").arg(item);
}

} // namespace Quorlix
