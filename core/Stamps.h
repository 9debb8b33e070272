#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace Quorlix {

// The date and time texts of the system's short formats, as an operator reads them in the log
// ("07.12.2026 10:39:40" on a day-first system, "12/7/2026 1:05:09 PM" on a month-first one).
// The year is always written with four digits and the time always carries seconds.
QString LocaleDateFormat(const QLocale& locale);
QString LocaleTimeFormat(const QLocale& locale);

// NowStamp: the given moment as date, one blank, time, in the locale's formats.
QString NowStamp(const QDateTime& now, const QLocale& locale);

// ToSqlStamp: turns a NowStamp-like text into "yyyymmdd hh:mm:ss" (24-hour clock); a date alone
// gives the eight digits; a text that is not a date comes back unchanged.
QString ToSqlStamp(const QString& text, const QLocale& locale);

// A moment of the clock in the ToSqlStamp form "yyyymmdd hh:mm:ss", made from the date-time
// itself: the form every time stamp of the program is written in, whatever the locale.
QString SqlStamp(const QDateTime& moment);

// The date and the time a ToSqlStamp text holds, without a zone (invalid when it is not one).
struct StampParts
{
    QDate date;
    QTime time;
    bool isValid() const { return date.isValid() && time.isValid(); }
};
StampParts ReadSqlStamp(const QString& sqlStamp);

// The date-time a ToSqlStamp text stands for (invalid when it is not one).
QDateTime FromSqlStamp(const QString& sqlStamp);

// The local date-time of a date and a time as an instrument or a table wrote them. A time in the
// hour that the change to summer time skips exists on no local clock; it is kept as written
// (a date-time without a zone), so that it is stored as the wall-clock time it says.
QDateTime WallClock(const QDate& date, const QTime& time);

// Parses a date/time text as an operator would write it in the locale (used for `firstshift`):
// date and time, a date alone, or a time alone (which then falls on 30.12.1899, the day zero of
// date-time values in the laboratory's tools).
QDateTime ParseLocaleDateTime(const QString& text, const QLocale& locale);

} // namespace Quorlix
