#pragma once

// Frames of the Hitachi host protocol written field by field from its layout tables, for the frame
// tests and the driver tests alike.

#include <QString>
#include <QStringList>

namespace Quorlix::Test::HitachiFixture {

inline const QString STX(QChar(0x02));
inline const QString ETX(QChar(0x03));

inline QString Frame(const QStringList& fields)
{
    return STX + fields.join(QString()) + ETX;
}

inline QString Blanks(int n)
{
    return QString(n, QLatin1Char(' '));
}

// Identification fields of the inquiry and results frames (after function and class), per model,
// around the 13 characters of the id field as given; the other fields are those of one sample.
// 911: mark, number 3, disc, position 2, id 13, info 4 + 1, date 6, time 4.
inline QString Id911Fields(const QString& idField)
{
    return QStringLiteral(" ") + QStringLiteral("  1") + QStringLiteral("1") + QStringLiteral(" 1") +
           idField + QStringLiteral("   3") + QStringLiteral(" ") + QStringLiteral("031992") +
           QStringLiteral("1147");
}
// 902: mark, number 5, one unread, position 3, id 13, fifteen unread.
inline QString Id902Fields(const QString& idField)
{
    return QStringLiteral(" ") + QStringLiteral("00012") + QStringLiteral(" ") + QStringLiteral("007") +
           idField + Blanks(15);
}
// 912: flag 1, number 5, disc, position 2, flag 2, id 13, five unread, date 6, time 4, six unread.
inline QString Id912Fields(const QString& idField)
{
    return QStringLiteral("F") + QStringLiteral("00034") + QStringLiteral("2") + QStringLiteral("15") +
           QStringLiteral("G") + idField + Blanks(5) + QStringLiteral("120524") + QStringLiteral("0930") +
           Blanks(6);
}

// A calibration standard block: number, four readings of 6, data alarm, prozone value of 6.
inline QString Standard(int number, const QString& alarm = QStringLiteral(" "))
{
    return QString::number(number) + QStringLiteral("  0.%1%1").arg(number) +
           QStringLiteral("  1.%1%1").arg(number) + QStringLiteral("  2.%1%1").arg(number) +
           QStringLiteral("  3.%1%1").arg(number) + alarm + QStringLiteral("  %1%1%1%1").arg(number);
}

} // namespace Quorlix::Test::HitachiFixture
