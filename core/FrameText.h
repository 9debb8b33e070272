#pragma once

#include <QString>

#include <optional>

namespace Quorlix {

// The control characters of the analyzers' line protocols (ASCII).
inline constexpr QChar Stx(0x02);
inline constexpr QChar Etx(0x03);
inline constexpr QChar Eot(0x04);
inline constexpr QChar Enq(0x05);
inline constexpr QChar Ack(0x06);
inline constexpr QChar Lf(0x0A);
inline constexpr QChar Cr(0x0D);
inline constexpr QChar Dc1(0x11);
inline constexpr QChar Nak(0x15);
inline constexpr QChar Etb(0x17);

// The n characters from the 1-based position p, fewer (or none) where the text ends.
QString MidOneBased(const QString& text, qsizetype position, qsizetype n);

// Fixed-width field: n blanks followed by the text, of which the last n characters.
QString RightAligned(const QString& text, qsizetype width);

// A value for a fixed-width field that keeps its rightmost characters: the text as it is when it
// fits; else, when it is a number, the number rounded to as many decimals as fit, without trailing
// zeros (1234.5678 in 6 is "1234.6", a REAL column's 12.300000190734863 is "12.3"). Nothing when
// it is no number or even its whole number is too wide: cut, it would read as another value.
std::optional<QString> FittedNumber(const QString& value, qsizetype width);

// Fixed-width field: the text padded with blanks on the right and cut to the width.
QString LeftAligned(const QString& text, qsizetype width);

// The text with every blank removed (sample ids are sent padded with blanks).
QString WithoutBlanks(const QString& text);

// Numbers in frame fields are read leniently: blanks anywhere are ignored and reading stops at the
// first character that cannot continue the number ("1 2" is 12, " 7a" is 7). A field without a
// leading number reads as 0 and is not numeric.
struct FieldNumber
{
    double value = 0;
    bool numeric = false;
};
FieldNumber ReadNumber(const QString& field);

// A field read as a whole number (rounded half to even), or nothing when it holds no number or the
// number does not fit a 16-bit integer.
std::optional<qint16> ReadInteger(const QString& field);

// The frame's data: everything before its first ETX (after the STX at position 1), the whole text
// when there is no ETX.
QString FramePayload(const QString& frame);

} // namespace Quorlix
