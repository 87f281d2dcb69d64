#pragma once
// What /check /queue found out about the database of a shared night: the
// connection, Kestrow's tables, the rights a night needs, and the time a
// draft takes to be listed, taken, renewed and stored there, undone after.
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

struct DatabaseFacts {
    std::wstring connection;      // as given, without its password
    std::wstring computer;        // the name this computer takes part under
    std::wstring engine;          // "PostgreSQL 15.0.18"; "" when none answered
    std::wstring failure;         // why it could not be reached, or what failed there
    bool tablesPresent = false;
    std::vector<std::wstring> missingRights;
    std::wstring tablesScript, rightsScript;  // the scripts shipped for this engine
    // The round trip of a draft, in milliseconds: all of it, and its take.
    std::optional<double> tripMilliseconds, takeMilliseconds;
};

}  // namespace kestrow
