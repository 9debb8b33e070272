#pragma once

#include "core/Database.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace Quorlix {

class Clock;
class CommLog;
class Store;
struct DbOutcome;
struct Settings;

// What the steps of the MGC240 exchange work with: the laboratory database (reads, and the store
// for what is written there), the MGC240's own database, the log and the clock. The steps keep no
// state between ticks beyond the failures already reported.
class MgcContext
{
public:
    MgcContext(const Settings& settings, Database& lab, Database& mgc, CommLog& log, const Clock& clock,
               Store& store);

    const Settings& settings;
    Database& lab; // DbConnection
    Database& mgc; // MgcConnection: the MGC240's own database
    CommLog& log;
    const Clock& clock;
    Store& store;

    // A failing item or step: one Monitor line. The same failure coming back tick after tick is
    // logged once; a failure not seen again for a whole tick is forgotten.
    void problem(const QString& key, const QString& text);
    void beginTick();

    // Records a failed statement: a connection that is lost (by the error, or because it no longer
    // answers a probe) is opened again at the next tick.
    void noteFailure(Database& db, const SqlResult& result);
    void noteFailure(Database& db, const DbOutcome& outcome);
    bool labLost = false;
    bool mgcLost = false;

    // Marks of the records quarantined in this run (see MgcMarks.h): not taken again even when the
    // mark could not be written.
    QSet<QString> quarantined;

    // A date-time for the MGC240's database, and the day of the orders written now.
    QVariant mgcDate(const QDateTime& moment) const;
    QVariant orderDay() const;

private:
    void noteFailure(Database& db, bool saysLost);

    QHash<QString, QString> m_reported;
    QHash<QString, QString> m_current;
};

// Runs a query whose text holds one "IN (%1)" over the ids, in pieces of a fixed size: the text,
// and with it the prepared statement, stays the same for every piece (the last piece repeats its
// last id). `before` are the values bound ahead of the list. Every row goes to `row`. Returns the
// failed result's error, or empty.
QString QueryInPieces(Database& db, const QString& sql, const QVariantList& before, const QStringList& ids,
                      const std::function<void(SqlResult&)>& row, MgcContext& ctx);

// A value read from either database as a 16-bit id (parameter, item): 0 for NULL or a value that
// does not fit.
qint16 Int16Of(const QVariant& value);

// param2channel of this analyzer: for the MGC240 the channel is its item number.
class ChannelMap
{
public:
    // Empty on success, else the error (reported by the caller).
    QString load(MgcContext& ctx);
    // 0 when there is none (ChannelOfParameter, ParameterOfChannel).
    qint16 ChannelOfParameter(qint16 parameterId) const { return m_channel.value(parameterId, 0); }
    qint16 ParameterOfChannel(qint16 item) const { return m_parameter.value(item, 0); }
    // The parameters of the analyzer, each once, in the table's order.
    const QList<qint16>& parameters() const { return m_parameters; }

private:
    QHash<qint16, qint16> m_channel;
    QHash<qint16, qint16> m_parameter;
    QList<qint16> m_parameters;
};

// itempara of the MGC240: the names of its test items.
class ItemNames
{
public:
    QString load(MgcContext& ctx);
    // The item's name; "ni(" item ")" for an item the analyzer does not know.
    QString MgcItemName(qint16 item) const;

private:
    QHash<qint16, QString> m_names;
};

} // namespace Quorlix
