#pragma once
// What a database's failure means for a night, from what its ODBC driver
// says: the SQLSTATE, and where drivers put many failures under one state
// (PostgreSQL's under 08001, MariaDB's under HY000), the engine's own number
// or words. The difference decides between trying again (a server not yet
// there, or gone) and refusing at once (a connection that cannot work).
#include <string>

#include "queue/SqlConnection.h"

namespace kestrow {

// `connecting`: the failure came while a connection was being made.
DatabaseFailure ClassifyDatabaseFailure(const std::wstring& state, long native, const std::wstring& message,
                                        bool connecting);

}  // namespace kestrow
