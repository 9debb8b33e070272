#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Quorlix {

// One result of a Coulter ACT 8 message: the test's short name, the value as sent (a number,
// possibly followed by "!" and a flag letter) and the time the result was completed.
struct ActResult
{
    QString shortName;
    QString value;
    QString time; // "yyyymmdd hh:mm:ss"
};

// What ParseActMessage reads from one message (H ... R ... L). The ACT sends no usable sample id:
// the operator names the measurement beforehand.
struct ActMessage
{
    static constexpr int MaxResults = 10;

    QString messageTime;      // ActMessageTime, from the header
    QList<ActResult> results; // ActResults 1..ActResultCount, at most MaxResults
    int surplusResults = 0;   // R records beyond MaxResults, not read
};

// An ASTM date-time field of 14 digits as "yyyymmdd hh:mm:ss": its first 8 characters, a blank,
// characters 9-10, ":", 11-12, ":", 13-14.
QString ActTime(const QString& field);

// The number part of a result value: what stands before the first "!" ("6.8!H" gives "6.8").
QString ActValue(const QString& value);

// Reads the records of one message, as the link delivered them (without framing): the message time
// from field 13 of the header, and per R record the short name (field 2 without its "!"
// delimiters: the ACT writes the test id as "!!!" and the name), the value (field 3) and the time
// of completion (field 12). Other records are ignored.
ActMessage ParseActMessage(const QStringList& records);

} // namespace Quorlix
