#include "database/OdbcConnection.h"

#include <memory>

#include "database/Odbc32.h"

#include "common/ConnectionText.h"
#include "queue/DatabaseFailures.h"

namespace kestrow::win32 {
namespace {

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

// How long a connection may take to be made before the server counts as
// not reached.
constexpr SQLULEN kLoginSeconds = 15;

class OdbcHandle {
public:
    OdbcHandle(const Odbc32& odbc, SQLSMALLINT type, SQLHANDLE parent) : odbc_(odbc), type_(type) {
        if (!SQL_SUCCEEDED(odbc_.AllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
    }
    ~OdbcHandle() {
        if (handle_ != SQL_NULL_HANDLE) odbc_.FreeHandle(type_, handle_);
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    const Odbc32& odbc() const { return odbc_; }

private:
    const Odbc32& odbc_;
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

struct Diagnostic {
    std::wstring state, message;
    SQLINTEGER native = 0;
};

Diagnostic FirstDiagnostic(const OdbcHandle& handle) {
    Diagnostic first;
    SQLWCHAR state[6] = {};
    SQLWCHAR message[2048] = {};
    SQLSMALLINT length = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLINTEGER native = 0;
        if (!SQL_SUCCEEDED(handle.odbc().GetDiagRec(handle.type(), handle.get(), record, state, &native, message,
                                          static_cast<SQLSMALLINT>(std::size(message)), &length)))
            break;
        if (record == 1) {
            first.state = reinterpret_cast<wchar_t*>(state);
            first.message = reinterpret_cast<wchar_t*>(message);
            first.native = native;
        }
    }
    // PostgreSQL's driver adds a line of its own after the server's.
    const size_t end = first.message.find_first_of(L";\n");
    if (end != std::wstring::npos && end > 0) first.message.resize(end);
    while (!first.message.empty() && (first.message.back() == L' ' || first.message.back() == L'.'))
        first.message.pop_back();
    return first;
}

class OdbcConnection : public SqlConnection {
public:
    OdbcConnection(std::shared_ptr<const Odbc32> odbc, const std::wstring& connection)
        : odbc_(std::move(odbc)), connection_(connection) {}

    void Open() {
        if (!odbc_->Complete())
            throw DatabaseError(DatabaseFailure::BadConnection,
                                L"Windows' ODBC (odbc32.dll) could not be loaded from the system folder");
        environment_ = std::make_unique<OdbcHandle>(*odbc_, SQL_HANDLE_ENV, SQLHANDLE{});
        if (!environment_->get() || !SQL_SUCCEEDED(odbc_->SetEnvAttr(environment_->get(), SQL_ATTR_ODBC_VERSION,
                                                                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
            throw DatabaseError(DatabaseFailure::BadConnection, L"ODBC could not be started on this computer");
        database_ = std::make_unique<OdbcHandle>(*odbc_, SQL_HANDLE_DBC, environment_->get());
        odbc_->SetConnectAttr(database_->get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginSeconds), 0);
        std::wstring text = connection_;
        SQLWCHAR made[2048];
        SQLSMALLINT madeLength = 0;
        const SQLRETURN connected =
            odbc_->DriverConnect(database_->get(), nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                              static_cast<SQLSMALLINT>(text.size()), made, static_cast<SQLSMALLINT>(std::size(made)),
                              &madeLength, SQL_DRIVER_NOPROMPT);
        // The string the driver made holds the password: it goes at once.
        SecureZeroMemory(made, sizeof(made));
        if (!SQL_SUCCEEDED(connected)) {
            const Diagnostic d = FirstDiagnostic(*database_);
            database_.reset();
            throw DatabaseError(ClassifyDatabaseFailure(d.state, d.native, d.message, true), ScrubPassword(d.message, connection_), d.state);
        }
        open_ = true;
        name_ = Info(SQL_DBMS_NAME);
        version_ = Info(SQL_DBMS_VER);
        if (Contains(name_, L"PostgreSQL")) {
            engine_ = SqlEngine::PostgreSql;
        } else if (Contains(name_, L"MariaDB") || Contains(version_, L"MariaDB")) {
            engine_ = SqlEngine::MariaDb;
            // SKIP LOCKED came with 10.6.
            const int major = _wtoi(version_.c_str());
            const size_t dot = version_.find(L'.');
            const int minor = dot == std::wstring::npos ? 0 : _wtoi(version_.c_str() + dot + 1);
            if (major < 10 || (major == 10 && minor < 6))
                throw DatabaseError(DatabaseFailure::NotSupported,
                                    L"this is MariaDB " + version_ + L"; Kestrow needs 10.6 or later (SKIP LOCKED)");
        } else {
            throw DatabaseError(DatabaseFailure::NotSupported,
                                L"this database is " + name_ + L" " + version_ +
                                    L"; Kestrow shares nights through PostgreSQL or MariaDB (10.6 or later), the "
                                    L"engines it is tested with");
        }
        odbc_->SetConnectAttr(database_->get(), SQL_ATTR_TXN_ISOLATION, reinterpret_cast<SQLPOINTER>(SQL_TXN_READ_COMMITTED),
                           0);
    }

    ~OdbcConnection() override {
        if (open_) odbc_->Disconnect(database_->get());
    }

    SqlEngine Engine() const override { return engine_; }
    std::wstring Name() const { return name_ + L" " + version_; }

    SqlResult Execute(const std::wstring& statement, const std::vector<SqlValue>& parameters) override {
        OdbcHandle handle(*odbc_, SQL_HANDLE_STMT, database_->get());
        if (!handle.get()) throw DatabaseError(DatabaseFailure::ConnectionLost, L"no statement could be made");
        // Each value stays where the driver was told it is until the
        // statement has run.
        std::vector<SQLLEN> lengths(parameters.size());
        for (size_t i = 0; i < parameters.size(); ++i) {
            const SqlValue& value = parameters[i];
            const auto number = static_cast<SQLUSMALLINT>(i + 1);
            SQLRETURN bound = SQL_SUCCESS;
            switch (value.kind) {
                case SqlValue::Kind::Null:
                    lengths[i] = SQL_NULL_DATA;
                    bound = odbc_->BindParameter(handle.get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0,
                                             nullptr, 0, &lengths[i]);
                    break;
                case SqlValue::Kind::Number:
                    lengths[i] = 0;
                    bound = odbc_->BindParameter(handle.get(), number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                             const_cast<std::int64_t*>(&value.number), 0, &lengths[i]);
                    break;
                case SqlValue::Kind::Text:
                    lengths[i] = static_cast<SQLLEN>(value.text.size() * sizeof(wchar_t));
                    bound = odbc_->BindParameter(handle.get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                             value.text.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR,
                                             std::max<SQLULEN>(1, value.text.size()), 0,
                                             const_cast<wchar_t*>(value.text.c_str()), lengths[i], &lengths[i]);
                    break;
            }
            if (!SQL_SUCCEEDED(bound)) Fail(handle);
        }
        std::wstring text = statement;
        const SQLRETURN ran =
            odbc_->ExecDirect(handle.get(), reinterpret_cast<SQLWCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
        SqlResult result;
        // An UPDATE that matches no row says so with SQL_NO_DATA, and no
        // diagnostics.
        if (ran == SQL_NO_DATA) return result;
        if (!SQL_SUCCEEDED(ran)) Fail(handle);
        SQLLEN affected = 0;
        if (SQL_SUCCEEDED(odbc_->RowCount(handle.get(), &affected)) && affected > 0) result.affected = affected;
        SQLSMALLINT columns = 0;
        odbc_->NumResultCols(handle.get(), &columns);
        while (columns > 0) {
            const SQLRETURN fetched = odbc_->Fetch(handle.get());
            if (fetched == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(fetched)) Fail(handle);
            SqlRow row;
            for (SQLUSMALLINT column = 1; column <= columns; ++column) row.push_back(Field(handle, column));
            result.rows.push_back(std::move(row));
        }
        return result;
    }

    void Begin() override { Autocommit(false); }
    void Commit() override {
        if (!SQL_SUCCEEDED(odbc_->EndTran(SQL_HANDLE_DBC, database_->get(), SQL_COMMIT))) Fail(*database_);
        Autocommit(true);
    }
    void Rollback() noexcept override {
        odbc_->EndTran(SQL_HANDLE_DBC, database_->get(), SQL_ROLLBACK);
        odbc_->SetConnectAttr(database_->get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    }

private:
    std::wstring Info(SQLUSMALLINT what) {
        SQLWCHAR value[256] = {};
        SQLSMALLINT length = 0;
        odbc_->GetInfo(database_->get(), what, value, sizeof(value), &length);
        return reinterpret_cast<wchar_t*>(value);
    }

    void Autocommit(bool on) {
        if (!SQL_SUCCEEDED(odbc_->SetConnectAttr(
                database_->get(), SQL_ATTR_AUTOCOMMIT,
                reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)), 0)))
            Fail(*database_);
    }

    // A field as text, however long; none for NULL.
    std::optional<std::wstring> Field(const OdbcHandle& handle, SQLUSMALLINT column) {
        std::wstring value;
        wchar_t part[1024];
        for (;;) {
            SQLLEN length = 0;
            const SQLRETURN got = odbc_->GetData(handle.get(), column, SQL_C_WCHAR, part, sizeof(part), &length);
            if (got == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(got)) Fail(handle);
            if (length == SQL_NULL_DATA) return std::nullopt;
            const size_t room = std::size(part) - 1;
            const size_t had = length == SQL_NO_TOTAL || static_cast<size_t>(length) / sizeof(wchar_t) > room
                                   ? room
                                   : static_cast<size_t>(length) / sizeof(wchar_t);
            value.append(part, had);
            if (got == SQL_SUCCESS) break;
        }
        return value;
    }

    [[noreturn]] void Fail(const OdbcHandle& handle) {
        const Diagnostic d = FirstDiagnostic(handle);
        throw DatabaseError(ClassifyDatabaseFailure(d.state, d.native, d.message, false),
                            ScrubPassword(d.message.empty() ? L"the driver said nothing more" : d.message, connection_),
                            d.state);
    }

    // Declared first: the handles go before the library they came from.
    std::shared_ptr<const Odbc32> odbc_;
    const std::wstring connection_;
    std::unique_ptr<OdbcHandle> environment_;
    std::unique_ptr<OdbcHandle> database_;
    bool open_ = false;
    SqlEngine engine_ = SqlEngine::PostgreSql;
    std::wstring name_, version_;
};

}  // namespace

std::unique_ptr<SqlConnection> OdbcConnector::Connect() {
    auto connection = std::make_unique<OdbcConnection>(Odbc32::Load(), connection_);
    connection->Open();
    return connection;
}

std::wstring EngineName(const SqlConnection& connection) {
    const auto* odbc = dynamic_cast<const OdbcConnection*>(&connection);
    return odbc ? odbc->Name() : std::wstring();
}

}  // namespace kestrow::win32
