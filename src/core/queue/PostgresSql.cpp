// The statements of a shared night on PostgreSQL (tested with 15): a draft
// is taken in one statement (UPDATE ... WHERE number = (a pick FOR UPDATE
// SKIP LOCKED) RETURNING), times are the server's CURRENT_TIMESTAMP.
#include "queue/NightSql.h"

namespace kestrow {
namespace {

NightSql Make() {
    NightSql sql = StatementsBothEnginesTake(L"");
    sql.createTables = {
        L"CREATE TABLE kestrow_folder (\n"
        L"    folder_key  varchar(40) PRIMARY KEY,\n"
        L"    folder      text NOT NULL,\n"
        L"    night       bigint\n"
        L")",
        L"CREATE TABLE kestrow_night (\n"
        L"    id          bigserial PRIMARY KEY,\n"
        L"    folder_key  varchar(40) NOT NULL,\n"
        L"    folder      text NOT NULL,\n"
        L"    subfolders  smallint NOT NULL,\n"
        L"    listed_by   varchar(255) NOT NULL,\n"
        L"    started     timestamptz NOT NULL DEFAULT CURRENT_TIMESTAMP,\n"
        L"    drafts      integer NOT NULL\n"
        L")",
        L"CREATE TABLE kestrow_draft (\n"
        L"    night       bigint NOT NULL,\n"
        L"    number      integer NOT NULL,\n"
        L"    name        text NOT NULL,\n"
        L"    state       varchar(10) NOT NULL,\n"
        L"    tries       integer NOT NULL DEFAULT 0,\n"
        L"    computer    varchar(255),\n"
        L"    holder      varchar(200),\n"
        L"    previous    varchar(255),\n"
        L"    lease_until timestamptz,\n"
        L"    taken       timestamptz,\n"
        L"    ended       timestamptz,\n"
        L"    error       text,\n"
        L"    PRIMARY KEY (night, number)\n"
        L")",
        L"CREATE INDEX kestrow_draft_open ON kestrow_draft (night, state, number)",
        L"CREATE TABLE kestrow_computer (\n"
        L"    night       bigint NOT NULL,\n"
        L"    computer    varchar(255) NOT NULL,\n"
        L"    joined      timestamptz NOT NULL DEFAULT CURRENT_TIMESTAMP,\n"
        L"    ended       varchar(40),\n"
        L"    PRIMARY KEY (night, computer)\n"
        L")",
        L"CREATE TABLE kestrow_row (\n"
        L"    id             bigserial PRIMARY KEY,\n" +
            RowTableColumns() +
        L"    UNIQUE (sender, seq)\n"
        L")",
        L"CREATE INDEX kestrow_row_night ON kestrow_row (night, computer, id)",
    };
    sql.rights.push_back({L"USAGE on the sequence kestrow_night_id_seq",
                          L"SELECT has_sequence_privilege('kestrow_night_id_seq', 'USAGE')"});
    sql.rights.push_back({L"USAGE on the sequence kestrow_row_id_seq",
                          L"SELECT has_sequence_privilege('kestrow_row_id_seq', 'USAGE')"});

    sql.ensureFolder =
        L"INSERT INTO kestrow_folder (folder_key, folder) VALUES (?, ?) ON CONFLICT (folder_key) DO NOTHING";
    sql.nightFacts =
        L"SELECT n.id,\n"
        L"       (SELECT count(*) FROM kestrow_draft d WHERE d.night = n.id AND d.state IN ('waiting', 'taken')),\n"
        L"       EXTRACT(EPOCH FROM CURRENT_TIMESTAMP - n.started),\n"
        L"       (SELECT count(*) FROM kestrow_computer c WHERE c.night = n.id AND c.computer = ?),\n"
        L"       (SELECT c.ended FROM kestrow_computer c WHERE c.night = n.id AND c.computer = ?)\n"
        L"  FROM kestrow_night n WHERE n.id = ?";
    sql.newNight =
        L"INSERT INTO kestrow_night (folder_key, folder, subfolders, listed_by, drafts) VALUES (?, ?, ?, ?, ?) "
        L"RETURNING id";
    sql.joinNight =
        L"INSERT INTO kestrow_computer (night, computer) VALUES (?, ?) "
        L"ON CONFLICT (night, computer) DO UPDATE SET ended = NULL";

    sql.claimInOneStatement = true;
    // The pick is a scalar subquery, run once: as a join it would be run
    // again for each row and take every draft at once.
    sql.claim =
        L"UPDATE kestrow_draft\n"
        L"   SET state = 'taken', previous = computer, computer = ?, holder = ?, tries = tries + 1,\n"
        L"       lease_until = CURRENT_TIMESTAMP + CAST(? AS bigint) * INTERVAL '1 second', taken = CURRENT_TIMESTAMP\n"
        L" WHERE night = ? AND number = (SELECT number FROM kestrow_draft\n"
        L"         WHERE night = ? AND (state = 'waiting' OR (state = 'taken' AND lease_until < CURRENT_TIMESTAMP))\n"
        L"         ORDER BY number LIMIT 1 FOR UPDATE SKIP LOCKED)\n"
        L"RETURNING number, tries, previous";
    sql.renew =
        L"UPDATE kestrow_draft SET lease_until = CURRENT_TIMESTAMP + CAST(? AS bigint) * INTERVAL '1 second'\n"
        L" WHERE night = ? AND number = ? AND holder = ? AND state = 'taken'";
    sql.stored =
        L"UPDATE kestrow_draft SET state = 'stored', computer = ?, holder = ?, lease_until = NULL, error = NULL,\n"
        L"       ended = CURRENT_TIMESTAMP\n"
        L" WHERE night = ? AND number = ? AND (holder = ? OR state IN ('waiting', 'taken'))";
    sql.failed =
        L"UPDATE kestrow_draft SET state = 'failed', error = ?, lease_until = NULL, ended = CURRENT_TIMESTAMP\n"
        L" WHERE night = ? AND number = ? AND holder = ? AND state = 'taken'";
    sql.release =
        L"UPDATE kestrow_draft SET state = 'waiting', lease_until = NULL, tries = tries - CAST(? AS integer)\n"
        L" WHERE night = ? AND number = ? AND holder = ? AND state = 'taken'";
    sql.progress =
        L"SELECT SUM(CASE WHEN state = 'waiting' THEN 1 ELSE 0 END), SUM(CASE WHEN state = 'taken' THEN 1 ELSE 0 END),\n"
        L"       SUM(CASE WHEN state = 'stored' THEN 1 ELSE 0 END), SUM(CASE WHEN state = 'failed' THEN 1 ELSE 0 END),\n"
        L"       MIN(CASE WHEN state = 'taken'\n"
        L"                THEN CAST(EXTRACT(EPOCH FROM lease_until - CURRENT_TIMESTAMP) * 1000 AS bigint) END)\n"
        L"  FROM kestrow_draft WHERE night = ?";
    sql.nextToTake =
        L"SELECT number, name, state, computer FROM kestrow_draft\n"
        L" WHERE night = ? AND (state = 'waiting' OR (state = 'taken' AND lease_until < CURRENT_TIMESTAMP))\n"
        L" ORDER BY number LIMIT 1";

    sql.rowsHead = L"INSERT INTO " + RowInsertHead();
    sql.rowsTail = L" ON CONFLICT (sender, seq) DO NOTHING";
    return sql;
}

}  // namespace

const NightSql& PostgreSqlStatements() {
    static const NightSql sql = Make();
    return sql;
}

}  // namespace kestrow
