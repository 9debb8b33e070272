#include "Stamps.h"

#include <QStringList>

namespace Quorlix {

QString LocaleDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString LocaleTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("ss")))
        format.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    return format;
}

QString NowStamp(const QDateTime& now, const QLocale& locale)
{
    QString stamp = locale.toString(now.date(), LocaleDateFormat(locale)) + QLatin1Char(' ') +
                    locale.toString(now.time(), LocaleTimeFormat(locale));
    // Some locales put a narrow no-break space before AM/PM; the stamp is split at blanks later.
    stamp.replace(QChar(0x202F), QLatin1Char(' '));
    return stamp;
}

namespace {

QDate ParseLocaleDate(const QString& text, const QLocale& locale)
{
    QString relaxed = LocaleDateFormat(locale);
    relaxed.replace(QLatin1String("dd"), QLatin1String("d")).replace(QLatin1String("MM"), QLatin1String("M"));
    QDate date = locale.toDate(text, LocaleDateFormat(locale));
    if (!date.isValid())
        date = locale.toDate(text, relaxed); // "d" and "M" also read two digits
    if (!date.isValid())
        date = locale.toDate(text, locale.dateFormat(QLocale::ShortFormat));
    if (!date.isValid())
        date = QDate::fromString(text, Qt::ISODate);
    if (!date.isValid())
        date = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
    if (date.isValid() && date.year() < 100)
        date = date.addYears(2000); // two-digit years of the short format mean this century
    return date;
}

QString TwoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

QString ToSqlStamp(const QString& text, const QLocale& locale)
{
    if (text.isEmpty())
        return text;
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return text;
    const QDate date = ParseLocaleDate(parts.first(), locale);
    if (!date.isValid()) {
        // Locales whose dates hold blanks themselves ("8 Dec 2026"): read the whole stamp.
        const QDateTime whole =
            locale.toDateTime(text, LocaleDateFormat(locale) + QLatin1Char(' ') + LocaleTimeFormat(locale));
        if (whole.isValid())
            return whole.toString(QStringLiteral("yyyyMMdd HH:mm:ss"));
        const QDate dateOnly = locale.toDate(text, LocaleDateFormat(locale));
        return dateOnly.isValid() ? dateOnly.toString(QStringLiteral("yyyyMMdd")) : text;
    }
    const QString digits = QStringLiteral("%1%2%3")
                               .arg(date.year(), 4, 10, QLatin1Char('0'))
                               .arg(TwoDigits(date.month()), TwoDigits(date.day()));
    if (parts.size() == 1)
        return digits;

    const QString& last = parts.last();
    const bool pm = last.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
    const bool am = last.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0;
    if (parts.size() >= 3 && (am || pm)) {
        const QStringList hms = parts.at(1).split(QLatin1Char(':'));
        QString hours = hms.value(0);
        const int hour = hours.toInt();
        if (pm && hour >= 1 && hour <= 11)
            hours = QString::number(hour + 12);
        if (am && hour == 12)
            hours = QStringLiteral("00");
        return digits + QLatin1Char(' ') + hours + QLatin1Char(':') + hms.value(1) + QLatin1Char(':') +
               hms.value(2).left(2);
    }
    return digits + QLatin1Char(' ') + parts.at(1);
}

QString SqlStamp(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yyyyMMdd HH:mm:ss"));
}

namespace {

// The value of `count` decimal digits at `from`, or -1 when one of them is no digit.
int DigitsAt(const QString& text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The stamps the program writes itself ("yyyyMMdd", "yyyyMMdd HH:mm:ss", "yyyyMMdd H:mm:ss",
// "yyyyMMdd HH:mm", "yyyyMMdd H:mm"), read digit by digit: every stored value passes here, and Qt's pattern
// parser, with a time-zone lookup per call, cost a quarter of a busy instance's processor.
StampParts ReadWrittenStamp(const QString& s)
{
    const qsizetype n = s.size();
    if (n < 8 || DigitsAt(s, 0, 8) < 0)
        return {};
    const QDate date(DigitsAt(s, 0, 4), DigitsAt(s, 4, 2), DigitsAt(s, 6, 2));
    if (n == 8)
        return {date, QTime(0, 0)};
    if (s.at(8) != QLatin1Char(' '))
        return {};
    const qsizetype hourDigits = n > 10 && s.at(10) == QLatin1Char(':') ? 1 : 2;
    const qsizetype minutesAt = 9 + hourDigits + 1;
    const bool withSeconds = n == minutesAt + 5;
    if ((n != minutesAt + 2 && !withSeconds) || s.at(minutesAt - 1) != QLatin1Char(':') ||
        (withSeconds && s.at(minutesAt + 2) != QLatin1Char(':')))
        return {};
    const int hour = DigitsAt(s, 9, hourDigits);
    const int minute = DigitsAt(s, minutesAt, 2);
    const int second = withSeconds ? DigitsAt(s, minutesAt + 3, 2) : 0;
    if (hour < 0 || minute < 0 || second < 0)
        return {};
    return {date, QTime(hour, minute, second)};
}

} // namespace

StampParts ReadSqlStamp(const QString& sqlStamp)
{
    const StampParts written = ReadWrittenStamp(sqlStamp);
    if (written.isValid())
        return written;
    if (sqlStamp.size() <= 9 || sqlStamp.at(8) != QLatin1Char(' '))
        return {};
    // Other clock forms Qt's parser accepts, as stamps of older versions may hold them.
    const QDate date = QDate::fromString(sqlStamp.left(8), QStringLiteral("yyyyMMdd"));
    const QString clock = sqlStamp.mid(9);
    QTime time = QTime::fromString(clock, QStringLiteral("H:mm:ss"));
    if (!time.isValid())
        time = QTime::fromString(clock, QStringLiteral("HH:mm"));
    return {date, time};
}

QDateTime FromSqlStamp(const QString& sqlStamp)
{
    const StampParts parts = ReadSqlStamp(sqlStamp);
    return parts.isValid() ? WallClock(parts.date, parts.time) : QDateTime();
}

QDateTime WallClock(const QDate& date, const QTime& time)
{
    if (!date.isValid() || !time.isValid())
        return {};
    const QDateTime local(date, time);
    if (local.isValid() && local.date() == date && local.time() == time)
        return local;
    return QDateTime(date, time, Qt::UTC);
}

QDateTime ParseLocaleDateTime(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QDateTime viaStamp = FromSqlStamp(ToSqlStamp(trimmed, locale));
    if (viaStamp.isValid())
        return viaStamp;
    for (const QString& format : {LocaleTimeFormat(locale), locale.timeFormat(QLocale::ShortFormat),
                                  QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")}) {
        const QTime time = locale.toTime(trimmed, format);
        if (time.isValid())
            return QDateTime(QDate(1899, 12, 30), time);
    }
    return {};
}

} // namespace Quorlix
