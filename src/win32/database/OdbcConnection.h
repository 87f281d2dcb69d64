#pragma once
// The shared nights' database through Windows' own ODBC (odbc32): the
// driver and server the connection string or DSN names, PostgreSQL or
// MariaDB. Every value is bound as a parameter; whatever the driver says is
// rid of the connection's password before anybody sees it.
#include <string>

#include "queue/SqlConnection.h"

namespace kestrow::win32 {

class OdbcConnector : public SqlConnector {
public:
    explicit OdbcConnector(std::wstring connection) : connection_(std::move(connection)) {}
    // A connection in READ COMMITTED, to PostgreSQL or to MariaDB 10.6 or
    // later (NotSupported otherwise).
    std::unique_ptr<SqlConnection> Connect() override;

private:
    std::wstring connection_;
};

// The engine and its version as the driver names them ("PostgreSQL 15.0.18").
std::wstring EngineName(const SqlConnection& connection);

}  // namespace kestrow::win32
