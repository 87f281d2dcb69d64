#include "console/NightDatabase.h"

#include <thread>

#include "common/ConnectionText.h"
#include "queue/NightStore.h"
#include "unattended/UnattendedRun.h"

namespace kestrow::win32 {
namespace {

std::wstring Joined(const std::vector<std::wstring>& parts) {
    std::wstring text;
    for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? L"" : i + 1 == parts.size() ? L" and " : L", ") + parts[i];
    return text;
}

// Why the database cannot serve, for its failure at the start; "" when it
// may answer later (not reached, or a connection that broke).
std::wstring Refusal(const DatabaseError& error, const std::wstring& connection) {
    const std::wstring which = L" (" + WithoutPassword(connection) + L")";
    switch (error.Failure()) {
        case DatabaseFailure::BadConnection:
            return L"the night's database cannot be opened with this connection" + which + L": " + error.Message() +
                   L". Check the driver's name (Windows' ODBC Data Sources lists those installed), the DSN and the "
                   L"database's name.";
        case DatabaseFailure::LoginRefused:
            return L"the night's database refused the login" + which + L": " + error.Message() + L".";
        case DatabaseFailure::NotSupported: return error.Message() + L".";
        case DatabaseFailure::NotReached:
        case DatabaseFailure::ConnectionLost: return std::wstring();
        case DatabaseFailure::NoTables:
        case DatabaseFailure::NoRight:
        case DatabaseFailure::TryAgain:
        case DatabaseFailure::Other: break;
    }
    return L"the night's database failed" + which + L": " + error.Message() + L".";
}

}  // namespace

std::wstring ShippedScript(SqlEngine engine, const wchar_t* name) {
    return std::wstring(L"sql\\") + (engine == SqlEngine::PostgreSql ? L"postgresql" : L"mariadb") + L"\\" + name;
}

OpenedDatabase OpenNightDatabase(const std::wstring& connection, DatabaseUse use, const LeasePolicy& policy,
                                 ConsoleOutput& out, ConsoleOutput& err) {
    OpenedDatabase opened;
    NightDatabase database;
    database.connector = std::make_unique<OdbcConnector>(connection);
    const QueueClock::time_point since = QueueClock::now();
    for (std::int32_t tries = 0;; ++tries) {
        try {
            database.connection = database.connector->Connect();
            break;
        } catch (const DatabaseError& error) {
            const std::wstring refusal = Refusal(error, connection);
            if (!refusal.empty()) {
                err.Line(L"Kestrow: " + refusal + L" Nothing was changed.");
                opened.exitCode = ExitCode::NothingTouched;
                return opened;
            }
            const OutageStep step = JudgeOutage(policy, since, QueueClock::now(), tries);
            if (tries == 0)
                out.Line(L"Kestrow: the night's database does not answer (" + error.Message() +
                         L"); Kestrow tries again for up to " + WaitText(policy.DatabaseWait()) + L".");
            if (step.giveUp) {
                err.Line(L"Kestrow: the night's database (" + WithoutPassword(connection) + L") did not answer: " +
                         error.Message() + L". Nothing was done.");
                opened.exitCode = ExitCode::DatabaseGone;
                return opened;
            }
            std::this_thread::sleep_for(step.retryIn);
        }
    }
    const SqlEngine engine = database.connection->Engine();
    try {
        NightStore store(*database.connection);
        store.SetUpSession();
        if (!store.TablesPresent()) {
            if (use == DatabaseUse::ReadOnly) {
                err.Line(L"Kestrow: the database holds no Kestrow tables, so it holds no night yet.");
                opened.exitCode = ExitCode::NothingTouched;
                return opened;
            }
            try {
                store.MakeTables();
                out.Line(L"Kestrow: made its tables in the database (" + EngineName(*database.connection) + L").");
            } catch (const DatabaseError& error) {
                err.Line(L"Kestrow: the database holds no Kestrow tables, and this user may not make them (" +
                         error.Message() + L"). A database administrator makes them with " +
                         ShippedScript(engine, L"kestrow-tables.sql") + L" and grants the rights with " +
                         ShippedScript(engine, L"kestrow-rights.sql") +
                         L", both beside Kestrow.exe. Nothing was changed.");
                opened.exitCode = ExitCode::NothingTouched;
                return opened;
            }
        }
        if (use == DatabaseUse::Night) {
            const std::vector<std::wstring> missing = store.MissingRights();
            if (!missing.empty()) {
                err.Line(L"Kestrow: this database user lacks rights a shared night needs: " + Joined(missing) +
                         L". A database administrator grants them with " + ShippedScript(engine, L"kestrow-rights.sql") +
                         L" (beside Kestrow.exe). Nothing was changed.");
                opened.exitCode = ExitCode::NothingTouched;
                return opened;
            }
        }
    } catch (const DatabaseError& error) {
        err.Line(L"Kestrow: the night's database failed (" + WithoutPassword(connection) + L"): " + error.Message() +
                 L". Nothing was changed.");
        opened.exitCode = error.Failure() == DatabaseFailure::ConnectionLost ? ExitCode::DatabaseGone
                                                                             : ExitCode::NothingTouched;
        return opened;
    }
    opened.database = std::move(database);
    return opened;
}

DatabaseFacts CheckNightDatabase(const std::wstring& connection, const std::wstring& computer) {
    DatabaseFacts facts;
    facts.connection = WithoutPassword(connection);
    facts.computer = computer;
    std::unique_ptr<SqlConnection> opened;
    try {
        opened = OdbcConnector(connection).Connect();
    } catch (const DatabaseError& error) {
        facts.failure = error.Message();
        return facts;
    }
    facts.engine = EngineName(*opened);
    facts.tablesScript = ShippedScript(opened->Engine(), L"kestrow-tables.sql");
    facts.rightsScript = ShippedScript(opened->Engine(), L"kestrow-rights.sql");
    try {
        NightStore store(*opened);
        store.SetUpSession();
        facts.tablesPresent = store.TablesPresent();
        if (!facts.tablesPresent) return facts;
        facts.missingRights = store.MissingRights();
        if (!facts.missingRights.empty()) return facts;
        const auto started = std::chrono::steady_clock::now();
        const NightStore::RoundTrip trip = store.TryRoundTrip(computer);
        facts.tripMilliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        facts.takeMilliseconds = std::chrono::duration<double, std::milli>(trip.take).count();
    } catch (const DatabaseError& error) {
        facts.failure = error.Message();
    }
    return facts;
}

}  // namespace kestrow::win32
