#pragma once

#include "Settings.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Quorlix {

// Options in the usual Linux form, taken out of the argument list before the "/" switches are read.
struct LaunchOptions
{
    QString configPath; // --config FILE
    bool headless = false;
    bool initDb = false;
    bool checkConfig = false;
    bool demoData = false;
    bool help = false;
    bool version = false;
    QDateTime clockStart;  // --clock-start: the program's clock starts at this local time
    bool qcReport = false; // --qc-report: the control results of the days qcFrom..qcTo, and exit
    QDate qcFrom;          // --from, inclusive
    QDate qcTo;            // --to, inclusive
    QString qcOut;         // --out FILE.csv or FILE.pdf; empty: CSV on stdout
    bool status = false;   // --status: the site's analyzers from their status rows, and exit
    bool json = false;     // --json: that list as JSON
    QString error;         // a malformed option: the process stops with this text
};

// Removes the "--" options from args (program name excluded) and returns them; what is left is
// joined with blanks into the command-line text that ParseCommandLine reads.
LaunchOptions TakeLaunchOptions(QStringList& args);

// Reads the "/" switches of the whole command-line text into the settings. Returns an error text for
// a value that cannot be used (a non-numeric /test, a /com without a number), else an empty text.
QString ParseCommandLine(const QString& commandLine, Settings& settings);

// Splits "key=value" the way both the switches and the ini lines are split: the key is what stands
// before the first "=", the value what follows, and every "=" is dropped.
void SplitKeyValue(const QString& text, QString& key, QString& value);

// The leading numeric part of a text as a number (blanks first skipped), 0 when there is none.
double LeadingNumber(const QString& text);

QString RemoveBlanks(QString text);

// A message as one line: its lines trimmed and joined with "; " (a driver's error text may span
// several, and a service's or a check's report is one line per fact).
QString OneLine(const QString& text);

QString UsageText();

} // namespace Quorlix
