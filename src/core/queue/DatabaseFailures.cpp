#include "queue/DatabaseFailures.h"

namespace kestrow {
namespace {

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

}  // namespace

DatabaseFailure ClassifyDatabaseFailure(const std::wstring& state, long native, const std::wstring& message,
                                        bool connecting) {
    const std::wstring& s = state;
    const std::wstring stateClass = s.substr(0, 2);
    if (stateClass == L"IM" || Contains(message, L"Can't open lib"))
        return DatabaseFailure::BadConnection;
    if (stateClass == L"28" || native == 1045 || Contains(message, L"password authentication failed") ||
        Contains(message, L"no password supplied") || Contains(message, L"role \"") ||
        Contains(message, L"Access denied for user"))
        return DatabaseFailure::LoginRefused;
    if (native == 1049 || Contains(message, L"does not exist") || Contains(message, L"Unknown database"))
        return connecting ? DatabaseFailure::BadConnection : DatabaseFailure::NoTables;
    if (s == L"42P01" || s == L"42S02" || native == 1146) return DatabaseFailure::NoTables;
    if (s == L"42501" || native == 1142 || native == 1143 || native == 1044 || native == 1227)
        return DatabaseFailure::NoRight;
    if (s == L"40001" || s == L"40P01" || native == 1213 || native == 1205) return DatabaseFailure::TryAgain;
    // A server that is not there, or went away: it may come back.
    const bool away = stateClass == L"08" || s == L"57P01" || s == L"57P02" || s == L"57P03" || s == L"HYT00" ||
                      s == L"HYT01" || native == 2002 || native == 2003 || native == 2006 || native == 2013 ||
                      Contains(message, L"could not connect") || Contains(message, L"Connection refused") ||
                      Contains(message, L"Can't connect") || Contains(message, L"server closed the connection") ||
                      Contains(message, L"terminating connection") || Contains(message, L"Lost connection") ||
                      Contains(message, L"no connection to the server");
    if (away) return connecting ? DatabaseFailure::NotReached : DatabaseFailure::ConnectionLost;
    // Whatever else stops a connection being made is a connection that
    // cannot work as written.
    return connecting ? DatabaseFailure::BadConnection : DatabaseFailure::Other;
}

}  // namespace kestrow
