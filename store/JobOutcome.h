#pragma once

#include <QString>

namespace Quorlix {

// How storing one job ended.
struct JobOutcome
{
    enum Result
    {
        Stored,          // committed
        NothingToStore,  // no sample id: nothing to do
        HeldForOperator, // a calibration handed to the mismatch window
        AlreadyStored,   // a spooled job whose id the database already holds, or a frame sent again
        DataRejected,    // the database refuses the record's values: retrying cannot help
        DatabaseFailed,  // the database failed: the record has to wait
    };
    Result result = Stored;
    QString error;
    bool connectionLost = false;

    bool done() const { return result != DataRejected && result != DatabaseFailed; }
};

} // namespace Quorlix
