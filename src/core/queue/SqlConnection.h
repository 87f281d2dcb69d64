#pragma once
// A connection to the database that holds the shared nights, as the core
// needs it: statements with every value bound as a parameter, results as
// text, transactions, and failures sorted by what they mean for a night.
// The platform layer adapts it (ODBC); the statements are the engines'.
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

enum class SqlEngine { PostgreSql, MariaDb };

// A parameter: never pasted into a statement's text.
struct SqlValue {
    enum class Kind { Null, Number, Text };
    Kind kind = Kind::Null;
    std::int64_t number = 0;
    std::wstring text;

    static SqlValue Of(std::int64_t value) { return SqlValue{Kind::Number, value, {}}; }
    static SqlValue Of(std::wstring value) { return SqlValue{Kind::Text, 0, std::move(value)}; }
    static SqlValue Null() { return SqlValue{}; }
};

using SqlRow = std::vector<std::optional<std::wstring>>;

struct SqlResult {
    std::vector<SqlRow> rows;
    std::int64_t affected = 0;  // rows an INSERT or UPDATE changed
};

// Why a statement or a connection failed, as far as a night cares.
enum class DatabaseFailure {
    NotReached,      // no server answered there (not running, wrong host or port)
    LoginRefused,    // the server refused the user or password
    BadConnection,   // the connection string or DSN names no driver or data source
    NoTables,        // Kestrow's tables are not there
    NoRight,         // the user lacks a right the statement needs
    ConnectionLost,  // the connection broke, or the server went away
    NotSupported,    // an engine, or a version of it, that Kestrow does not work with
    TryAgain,        // the transaction met another (a deadlock): it was undone, and may be run again
    Other,
};

class DatabaseError : public std::exception {
public:
    // `message` is what the driver said, already rid of any password.
    DatabaseError(DatabaseFailure failure, std::wstring message, std::wstring state = {})
        : failure_(failure), message_(std::move(message)), state_(std::move(state)) {}
    DatabaseFailure Failure() const noexcept { return failure_; }
    const std::wstring& Message() const noexcept { return message_; }
    const std::wstring& State() const noexcept { return state_; }  // the SQLSTATE
    const char* what() const noexcept override { return "Kestrow database error"; }

private:
    DatabaseFailure failure_;
    std::wstring message_;
    std::wstring state_;
};

class SqlConnection {
public:
    virtual ~SqlConnection() = default;
    virtual SqlEngine Engine() const = 0;
    // Runs one statement with its parameters, in the transaction in hand
    // or on its own. Raises DatabaseError.
    virtual SqlResult Execute(const std::wstring& statement, const std::vector<SqlValue>& parameters = {}) = 0;
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() noexcept = 0;
};

// Opens connections to one database: the first when a run starts, a fresh
// one after a connection was lost. Raises DatabaseError.
class SqlConnector {
public:
    virtual ~SqlConnector() = default;
    virtual std::unique_ptr<SqlConnection> Connect() = 0;
};

// A transaction that is rolled back unless committed.
class SqlTransaction {
public:
    explicit SqlTransaction(SqlConnection& connection) : connection_(connection) { connection_.Begin(); }
    ~SqlTransaction() {
        if (!done_) connection_.Rollback();
    }
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;
    void Commit() {
        connection_.Commit();
        done_ = true;
    }

private:
    SqlConnection& connection_;
    bool done_ = false;
};

// A result's field as a whole number; none when it is null or no number.
std::optional<std::int64_t> SqlNumber(const std::optional<std::wstring>& field);
// As a number of seconds, fractions allowed; none likewise.
std::optional<double> SqlSeconds(const std::optional<std::wstring>& field);

}  // namespace kestrow
