#pragma once

#include <QString>

namespace Quorlix {

// How storing one job ended. run() ends with one of the first six; submit() hands a failure on
// as what became of the record: Quarantined or Waiting (or DatabaseFailed when nothing could
// keep it but the communication log).
struct JobOutcome
{
    enum Result
    {
        Stored,          // committed
        NothingToStore,  // no sample id: nothing to do
        HeldForOperator, // a calibration handed to the mismatch window
        AlreadyStored,   // a spooled job whose id the database already holds, or a frame sent again
        DataRejected,    // permanent: the database refuses the record; retrying cannot help
        DatabaseFailed,  // transient: the database failed; the record has to wait
        Quarantined,     // refused for good: set aside (or written in full into the communication
                         // log); a source that would deliver it again may forget it
        Waiting,         // in the spool: it is stored, in order, once the database takes it
    };
    Result result = Stored;
    QString error;
    bool connectionLost = false;

    bool done() const { return result != DataRejected && result != DatabaseFailed && result != Waiting; }
    // Whether the database holds the record (or had nothing to take from it).
    bool stored() const { return result == Stored || result == NothingToStore || result == AlreadyStored; }
};

} // namespace Quorlix
