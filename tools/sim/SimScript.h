#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace QuorlixSim {

// One line of a simulation script after comments and loops: its verb, its words after the verb,
// the text after the verb, and where it stands in the file.
struct ScriptLine
{
    QString verb; // lower case
    QStringList words;
    QString rest;
    int number = 0;

    // The value of a word "name=value", or the fallback.
    QString option(const QString& name, const QString& fallback = QString()) const;
    int intOption(const QString& name, int fallback) const;
};

// Splits a script into its lines: "#" starts a comment (not in a raw line), "loop N" ... "end"
// repeats the lines between them with {n} replaced by the pass number (1..N). Returns an error
// text naming the line.
QString ExpandScript(const QString& text, QList<ScriptLine>& lines);

// "{STX}" and the other names back to control characters; {0xNN} any byte.
QString NamesToControlChars(QString text);

// The script lines every role understands.
QString CommonScriptHelp();

} // namespace QuorlixSim
