#pragma once
// Every statement a shared night runs, one set per engine: what both write
// alike in NightSql.cpp, what each writes its own way in one file of its own
// (PostgresSql.cpp, MariaDbSql.cpp). The tables are Kestrow's five,
// named kestrow_*; a database administrator makes them with the files
// Kestrow ships (sql/<engine>/kestrow-tables.sql, the same statements as
// createTables) and grants the rights of sql/<engine>/kestrow-rights.sql:
// SELECT, INSERT and UPDATE on them, nothing more. Every value is a
// parameter (?); a draft's state is 'waiting', 'taken', 'stored' or 'failed'.
#include <string>
#include <vector>

#include "queue/SqlConnection.h"

namespace kestrow {

struct NightSql {
    // Made in this order when they are missing and the user may make them.
    std::vector<std::wstring> createTables;
    // One right a night needs, and the statement that shows it: it fails
    // without the right, or returns one row whose first field is false
    // ("0", "f"); it changes nothing.
    struct RightProbe {
        std::wstring right;  // "UPDATE on kestrow_draft"
        std::wstring statement;
    };
    std::vector<RightProbe> rights;
    // A statement over every table that returns nothing: it fails when one
    // of them is missing.
    std::wstring tablesPresent;
    // Run on each new connection.
    std::vector<std::wstring> sessionSetup;

    // The folder's row, the lock that lets one computer at a time choose
    // the night: (key, folder), then (key) returning its night.
    std::wstring ensureFolder, lockFolder;
    // (night, key)
    std::wstring setFolderNight;
    // (computer, computer, night): id, open drafts, age in seconds, joined, how it ended here.
    std::wstring nightFacts;
    // (key, folder, subfolders, computer, drafts): the new night's id, by
    // RETURNING or by newNightId after it.
    std::wstring newNight, newNightId;
    // Many drafts in one statement: head, then "row" once per draft joined
    // by ", ": (night, number, name) each.
    std::wstring draftsHead, draftsRow;
    // (night, computer) and (ended, night, computer).
    std::wstring joinNight, leaveNight;
    // (night): number, name of the drafts not yet done.
    std::wstring openDrafts;

    // Taking the next draft. In one statement (claim: computer, holder,
    // lease seconds, night, night; returning number, tries, previous
    // computer), or as a pick (night: number, tries, computer; locked,
    // skipping drafts locked by others) and a take (computer, holder, lease
    // seconds, night, number) in one transaction.
    bool claimInOneStatement = false;
    std::wstring claim, claimPick, claimTake;
    // (lease seconds, night, number, holder): one row changed while the lease is this computer's.
    std::wstring renew;
    // (computer, holder, night, number, holder): stored, unless it is stored or failed already.
    std::wstring stored;
    // (error, night, number, holder)
    std::wstring failed;
    // (tries given back: 0 or 1, night, number, holder)
    std::wstring release;
    // (night): waiting, taken, stored, failed, milliseconds until the soonest lease ends.
    std::wstring progress;
    // (night): the draft a computer would take next: number, name, state, computer.
    std::wstring nextToTake;

    // The log's rows: head, then "row" once per row joined by ", ", then tail
    // (night, computer, sender, seq, then the log's twelve columns each).
    std::wstring rowsHead, rowsRow, rowsTail;
    // (night): computer, sender, seq and the twelve columns, in the order sent.
    std::wstring nightRows;
    // (key): the folder's night, id and folder; () the latest night of any folder.
    std::wstring folderNight, latestNight;
    // (night): number, name, state, computer, tries, error of every draft.
    std::wstring nightDrafts;
};

const NightSql& NightSqlFor(SqlEngine engine);
// What both engines take as it is written: the start of each engine's set.
// `fromDual` (" FROM DUAL" for MariaDB) lets a SELECT of values have a WHERE.
NightSql StatementsBothEnginesTake(const std::wstring& fromDual);
const NightSql& PostgreSqlStatements();
const NightSql& MariaDbStatements();

// The columns of kestrow_row after its id, as both engines write them: who
// sent a row (night, computer, sender, seq) and the log's columns, as text.
std::wstring RowTableColumns();
// "kestrow_row (<its columns after the id>) VALUES ", after an INSERT.
std::wstring RowInsertHead();

// The tables' script as shipped: createTables, each ended by ";".
std::wstring TablesScript(const NightSql& sql);

}  // namespace kestrow
