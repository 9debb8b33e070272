#pragma once

#include <QString>
#include <QStringList>

namespace Quorlix {

// One ASTM E1381 frame: STX, the frame number (one digit 0-7), the text, ETX or ETB, two checksum
// characters, CR, LF. A record travels as the text of one frame ending with the record's CR and ETX;
// a record too long for one frame continues in further frames, each but its last ending with ETB.
// The checksum is the sum of the character codes from the frame number up to and including the ETX
// or ETB, modulo 256, written as two upper-case hexadecimal digits.
struct E1381Frame
{
    // Text we put into one frame (a frame of 247 characters in all), and the most we accept.
    static constexpr qsizetype MaxText = 240;
    static constexpr qsizetype MaxReceivedText = 247;

    int number = -1;   // 0..7
    QString text;      // between the frame number and ETX or ETB
    bool last = false; // ended by ETX: the record is complete
    QString problem;   // why the frame cannot be used; empty for a sound frame
};

// The two checksum characters of the characters from the frame number to ETX or ETB inclusive.
QString E1381Checksum(QStringView numberToEnd);

// STX, the number's digit, the text, end (ETX or ETB), checksum, CR, LF.
QString BuildE1381Frame(int number, QStringView text, QChar end);

// The frames of one message, numbered 1..7, 0, 1 ... Every record ends with CR and is cut into
// frames of at most MaxText characters. With chained, ETX ends only the message's last frame (an
// instrument that sends a message as one chain of ETB frames expects the same back); otherwise it
// ends every record. Characters outside Latin-1 become "?", as they do on the line.
QStringList BuildE1381Message(const QStringList& records, bool chained);

// Reads a complete frame as received (STX up to the CR after the checksum; the LF is not needed).
E1381Frame ParseE1381Frame(QStringView raw);

} // namespace Quorlix
