#pragma once
// The database of a shared night, opened for a command: connected (a server
// that does not answer yet is tried again for a while, as after a restart),
// Kestrow's tables there, made when missing if the user may, and every right
// a night needs. What is wrong is said plainly on the error stream, with what
// a database administrator runs to mend it; the connection's password never.
#include <memory>
#include <optional>
#include <string>

#include "check/DatabaseFacts.h"
#include "console/ConsoleOutput.h"
#include "database/OdbcConnection.h"
#include "queue/QueueRules.h"
#include "queue/SqlConnection.h"

namespace kestrow::win32 {

struct NightDatabase {
    std::unique_ptr<OdbcConnector> connector;
    std::unique_ptr<SqlConnection> connection;
};

enum class DatabaseUse {
    Night,     // a run: the tables are made when missing, every right is checked
    ReadOnly,  // /whatif and /report: the tables must be there, nothing is made
};

// The database, or the exit code when it cannot serve: NothingTouched for a
// connection, login, engine, tables or rights that are wrong; DatabaseGone
// for a server that did not answer within the policy's wait.
struct OpenedDatabase {
    std::optional<NightDatabase> database;
    int exitCode = 0;
};
OpenedDatabase OpenNightDatabase(const std::wstring& connection, DatabaseUse use, const LeasePolicy& policy,
                                 ConsoleOutput& out, ConsoleOutput& err);

// "sql\postgresql\kestrow-tables.sql": the script shipped beside Kestrow.exe.
std::wstring ShippedScript(SqlEngine engine, const wchar_t* name);

// /check /queue: the database looked at once, nothing made or changed.
DatabaseFacts CheckNightDatabase(const std::wstring& connection, const std::wstring& computer);

}  // namespace kestrow::win32
