#pragma once

#include "core/FrameText.h"

#include <QString>
#include <QVariant>

namespace Quorlix {

// A text as a bound value: an empty text stays an empty text ('') and never becomes NULL, as a
// default-constructed (null) string would.
QVariant BoundText(const QString& text);

// The number a text begins with, read the way a person reads a value: blanks are ignored, a sign,
// digits, a decimal point and an exponent are taken as far as they go; 0 when the text does not
// begin with a number ("<0.1" gives 0, "12.5 H" gives 12.5).
double NumberOfText(const QString& text);

// A concentration or similar operator value: a number written with "." or "," as decimal sign.
bool IsNumericText(const QString& text);
// Its bound value: the number, or SQL NULL when the text is empty or not a number.
QVariant DecimalOrNull(const QString& text);

// A number read from the database as the shortest text with a decimal point ("1234", "0.1234");
// empty for NULL. Texts that are not numbers come back as they are.
QString NumberText(const QVariant& value);

} // namespace Quorlix
