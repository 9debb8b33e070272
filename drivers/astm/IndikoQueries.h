#pragma once

#include <QString>
#include <QStringList>

namespace Quorlix {

class Database;

// What the Indiko driver reads from the laboratory database about a sample or control the Indiko
// asks for: the names for its P record, and the tests and specimen code for its O records. Every
// value is bound. The id is taken without blanks; an id matching the control mask is a control.
class IndikoQueries
{
public:
    IndikoQueries(Database& db, const QString& analyzerId, const QString& controlMask);

    struct Names
    {
        QString surname;
        QString forename;
        QString error; // the database could not be read
    };
    // A patient's surname and forename; a control's name as surname. Empty when unknown.
    Names namesFor(const QString& id);

    struct Tests
    {
        QStringList codes;                          // testiddsx, each once, in order
        QString specimenCode = QStringLiteral("3"); // "1" unless the sample is urine ("U") or unknown
        QString error;
    };
    // A sample's requested tests mapped for this analyzer. A control's open control rows when it
    // has any, else its defined tests; only control/parameter pairs armed in control_block for
    // this analyzer.
    Tests testsFor(const QString& id);

private:
    bool isControl(const QString& id) const;

    Database& m_db;
    QString m_analyzerId;
    QString m_controlMask;
};

} // namespace Quorlix
