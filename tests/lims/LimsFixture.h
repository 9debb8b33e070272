#pragma once

// Frames of a LIMS that plays the Hitachi host, written field by field from the layout of its order
// frame, and the rows a test compares, for the tests of the LIMS side.

#include "core/Database.h"

#include <QSqlRecord>
#include <QString>
#include <QStringList>

namespace Quorlix::Test::LimsFixture {

inline const QString STX(QChar(0x02));
inline const QString ETX(QChar(0x03));

inline QString Blanks(int n)
{
    return QString(n, QLatin1Char(' '));
}
inline QString Right(const QString& text, int width)
{
    return (Blanks(width) + text).right(width);
}
inline QString Left(const QString& text, int width)
{
    return (text + Blanks(width)).left(width);
}
inline QString Function(const QString& function)
{
    return STX + function + ETX;
}

// 48 selection characters with "1" on the given channels.
inline QString Selection(const QList<int>& channels)
{
    QString s(48, QLatin1Char('0'));
    for (int c : channels)
        s[c - 1] = QLatin1Char('1');
    return s;
}

// The six text fields of an order; a null text is absent (flag "0").
struct OrderFields
{
    QString surname, forename, customerId, customerName, siId, collector;
};

// 1 STX, 2 ";", 3-13 identification, 14-26 id, 27-31 unread, 32-37 date (MMDDYY), 38-41 time
// (HHMM), 42-43 "48", 44-91 selection, 92-97 flags, 98-127 surname, 128-152 forename, 153-172
// customer id, 173-187 customer name, 188-197 si_id, 198 on collector, ETX.
inline QString OrderFrame(const QString& id, const QString& selection, const OrderFields& f = {},
                          const QString& date = Blanks(6), const QString& time = Blanks(4))
{
    const QString values[6] = {f.surname, f.forename, f.customerId, f.customerName, f.siId, f.collector};
    const int widths[6] = {30, 25, 20, 15, 10, 20};
    QString flags, fields;
    for (int k = 0; k < 6; ++k) {
        flags += values[k].isNull() ? QLatin1Char('0') : QLatin1Char('1');
        fields += Left(values[k], widths[k]);
    }
    return STX + QStringLiteral(";A1000121075") + Right(id, 13) + Blanks(5) + date + time +
           QStringLiteral("48") + selection + flags + fields + ETX;
}

inline QString TubeNotFound(const QString& id)
{
    return OrderFrame(id, Selection({1}), {QStringLiteral("*MESSAGE *TUBE NON TROUVE"), {}, {}, {}, {}, {}});
}

// The MGC240 order: positions 5-41 are the sample information and the flags of channels 1..37, with
// the id at 14-26 inside them; the 48 characters from 44 decide whether anything is ordered.
inline QString Mgc240Frame(const QString& before /* 5-13 */, const QString& id,
                           const QString& after /* 27-41 */, const QString& selection)
{
    return STX + QStringLiteral(";A1") + Left(before, 9) + Right(id, 13) + Left(after, 15) +
           QStringLiteral("48") + selection + QStringLiteral("000000") + ETX;
}

// The rows of a query, "a|b;c|d", with NULL for nulls and date-times as "yyyy-MM-dd HH:mm:ss".
inline QString Rows(Database& db, const QString& sql)
{
    SqlResult r = db.run(sql);
    QStringList rows;
    while (r.next()) {
        QStringList row;
        for (int i = 0; i < r.query().record().count(); ++i) {
            const QVariant v = r.value(i);
            row << (v.isNull() ? QStringLiteral("NULL")
                    : v.metaType().id() == QMetaType::QDateTime
                        ? v.toDateTime().toString("yyyy-MM-dd HH:mm:ss")
                        : v.toString());
        }
        rows << row.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char(';'));
}

} // namespace Quorlix::Test::LimsFixture
