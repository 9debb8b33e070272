#pragma once

#include "HitachiAnalyzerFrames.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace QuorlixSim {

// One step of a simulation script.
struct SimStep
{
    enum Kind { Poll, Repeat, Inquiry, Results, Calibration, Raw, Expect, ExpectSelection, Wait, Say, Noise, Overlong, Hangup };
    Kind kind = Poll;
    SimSample sample;
    QList<SimResult> results;
    int channel = 0;
    QChar alarm = QLatin1Char(' ');
    QList<SimStandard> standards;
    QString text; // Raw frame, Expect text, selection, or the line to say
    int waitMs = 0;
    int line = 0;
};

// Reads a script: one step per line, "#" starts a comment, "loop N" ... "end" repeats the lines
// between them with {n} replaced by the pass number (1..N). Returns an error text naming the line.
QString ParseScript(const QString& text, QList<SimStep>& steps, Model& model);

// The help text describing the script language.
QString ScriptHelp();

// "{STX}" and the other names back to control characters.
QString NamesToControlChars(QString text);

} // namespace QuorlixSim
