#pragma once

#include "DbOutcome.h"

#include <functional>

namespace Quorlix {

class Database;

// The one transaction of a store call. Rolled back when it is neither committed nor rolled back by
// the time it goes out of scope.
class Transaction
{
public:
    explicit Transaction(Database& db) : m_db(db) {}
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    DbOutcome begin();
    DbOutcome commit();
    void rollback();

    // Runs a group of statements that the record can do without when the database refuses them:
    // the group is undone to a savepoint and the transaction goes on (the outcome then says
    // DataRejected). A failure of the database itself is handed back as it is; one the error does
    // not explain counts as refused when the savepoint can be undone, else as the database's.
    DbOutcome skippable(const std::function<DbOutcome()>& group);

    Database& db() { return m_db; }

private:
    Database& m_db;
    bool m_open = false;
    int m_savepoints = 0;
};

} // namespace Quorlix
