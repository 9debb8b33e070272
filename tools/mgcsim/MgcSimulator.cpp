#include "MgcSimulator.h"

#include "core/SchemaInit.h"
#include "core/Settings.h"
#include "core/Stamps.h"
#include "drivers/dbexchange/MgcDatabase.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>

#include <cmath>

using namespace Quorlix;

namespace QuorlixMgcSim {

namespace {

struct Item
{
    const char* name;
    double typical;
};

// Items 1..12, with values in the units of the demonstration laboratory.
const Item Items[] = {{"GLU", 95},   {"CREA", 1.0}, {"UREA", 30}, {"ALT", 25}, {"AST", 28}, {"CHOL", 180},
                      {"TRIG", 140}, {"HDL", 50},   {"NA", 140},  {"K", 4.2},  {"CL", 102}, {"CRP", 3}};

} // namespace

QString MgcSimulator::open(const QString& file, bool create)
{
    if (!create && !QFileInfo::exists(file))
        return QStringLiteral("%1 does not exist (--init creates it)").arg(file);
    Settings settings;
    settings.MgcDriver = QStringLiteral("sqlite");
    settings.AccessPath = QFileInfo(file).absoluteFilePath();
    return m_db.open(DescribeMgcDatabase(settings));
}

QString MgcSimulator::init()
{
    if (const QString error = m_db.runScript(SchemaScript(m_db, true)); !error.isEmpty())
        return error;
    SqlResult named = m_db.run(QStringLiteral("SELECT COUNT(*) FROM itempara"));
    if (!named.next())
        return named.error();
    if (named.value(0).toInt() > 0)
        return {};
    named.finish();
    for (int item = 1; item <= 12; ++item) {
        SqlResult r = m_db.run(QStringLiteral("INSERT INTO itempara (item_no, item_name) VALUES (?, ?)"),
                               {item, QString::fromLatin1(Items[item - 1].name)});
        if (!r.ok())
            return r.error();
    }
    return {};
}

QString MgcSimulator::calibrate(const QList<int>& items, QStringList* report)
{
    const QVariant now = MgcDateValue(m_db, QDateTime::currentDateTime());
    for (const int item : items) {
        SqlResult r =
            m_db.run(QStringLiteral("INSERT INTO calib (rdate, item_no, BLK_OD, STD_1OD, STD_2OD, STD_3OD, "
                                    "STD_4OD, STD_5OD, STD_6OD) "
                                    "VALUES (?, ?, NULL, ?, ?, NULL, NULL, NULL, NULL)"),
                     {now, item, 0.0512, 0.1024 + item / 10000.0});
        if (!r.ok())
            return r.error();
        *report << QStringLiteral("calibrated item %1: blank missing, standards 0.0512 and %2")
                       .arg(item)
                       .arg(0.1024 + item / 10000.0);
    }
    return {};
}

double MgcSimulator::Concentration(const QString& sampleId, int item)
{
    const double typical = item >= 1 && item <= 12 ? Items[item - 1].typical : 10;
    const QByteArray digest = QCryptographicHash::hash(
        (sampleId + QLatin1Char('/') + QString::number(item)).toUtf8(), QCryptographicHash::Md5);
    const int spread = static_cast<unsigned char>(digest.at(0)) % 21 - 10; // -10 .. +10 per cent
    return std::round(typical * (100 + spread)) / 100.0;
}

QString MgcSimulator::measure(QStringList* report)
{
    SqlResult ordered =
        m_db.run(QStringLiteral("SELECT samp_id FROM samp_odr WHERE samp_state < 3 ORDER BY fdate, samp_no"));
    if (!ordered.ok())
        return ordered.error();
    QStringList samples;
    while (ordered.next())
        samples << ordered.value(0).toString();
    ordered.finish();

    for (const QString& sample : std::as_const(samples)) {
        SqlResult items =
            // Items the analyzer does not know (not in itempara, such as item 0) stay unmeasured.
            m_db.run(
                QStringLiteral("SELECT item_no, item_name FROM samp_dat WHERE samp_id = ? AND data_state = 1 "
                               "AND item_no IN (SELECT item_no FROM itempara)"),
                {sample});
        if (!items.ok())
            return items.error();
        QList<QPair<int, QString>> list;
        while (items.next())
            list.append({items.value(0).toInt(), items.value(1).toString()});
        items.finish();

        const QVariant now = MgcDateValue(m_db, QDateTime::currentDateTime());
        if (!m_db.transaction())
            return QStringLiteral("no transaction");
        QStringList values;
        bool ok = true;
        for (const auto& [item, name] : std::as_const(list)) {
            const double value = Concentration(sample, item);
            ok = ok &&
                 m_db.run(QStringLiteral("UPDATE samp_dat SET data_state = 3, conc_data = ?, od_data = ?, "
                                         "rst_Date = ? WHERE samp_id = ? AND item_no = ? AND data_state = 1"),
                          {value, value / 1000.0, now, sample, item})
                     .ok();
            values << QStringLiteral("%1 %2").arg(name).arg(value);
        }
        ok = ok &&
             m_db.run(QStringLiteral("UPDATE samp_odr SET samp_state = 3, asp_date = ? WHERE samp_id = ?"),
                      {now, sample})
                 .ok();
        if (!ok) {
            m_db.rollback();
            return QStringLiteral("sample %1 not measured").arg(sample);
        }
        if (!m_db.commit())
            return QStringLiteral("sample %1 not committed").arg(sample);
        *report
            << (values.isEmpty()
                    ? QStringLiteral("measured %1: none of its items is one this MGC240 measures").arg(sample)
                    : QStringLiteral("measured %1: %2").arg(sample, values.join(QStringLiteral(", "))));
    }
    return {};
}

} // namespace QuorlixMgcSim
