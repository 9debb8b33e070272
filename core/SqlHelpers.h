#pragma once

#include <QString>
#include <QVariant>

namespace Quorlix {

class Database;

// The operator text for a key in the configured language, falling back to English; "@N/A" when
// the key (or the language column) is unknown.
QString Translate(Database& db, const QString& language, qint32 key);

// A database null as empty text, any other value as its text.
QString NullToText(const QVariant& value);

// The value as a number when it is not null, not blank and numeric; otherwise 0.
float NumOrZero(const QVariant& value);

// The parameter_id of the test with this short name, 0 when there is none.
qint16 ParameterIdByShort(Database& db, const QString& shortName);

// A value text as a number for a numeric column: the number, or a bound SQL NULL when the text is
// not one (for example "<0.1", or "NULL" for a blank routine value).
QVariant NumericOrNull(const QString& text, bool* wasNumber = nullptr);

// `count` copies of a placeholder group joined by ", ": "?, ?, ?" for an IN list or a VALUES row,
// "(?, ?), (?, ?)" for the rows of a multi-row INSERT. Only placeholders; the values are bound.
QString Placeholders(qsizetype count, QLatin1StringView each = QLatin1StringView("?"));

} // namespace Quorlix
