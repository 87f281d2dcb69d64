// The statements of a shared night on MariaDB (tested with 10.11; SKIP
// LOCKED needs 10.6): MariaDB has no UPDATE ... RETURNING, so a draft is
// taken by a pick (SELECT ... FOR UPDATE SKIP LOCKED) and a take (UPDATE)
// in one transaction. Times are the server's UTC_TIMESTAMP(6), which no
// change of daylight saving time moves; tables are InnoDB in utf8mb4.
#include "queue/NightSql.h"

namespace kestrow {
namespace {

NightSql Make() {
    NightSql sql = StatementsBothEnginesTake(L" FROM DUAL");
    const std::wstring table = L") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
    sql.createTables = {
        L"CREATE TABLE kestrow_folder (\n"
        L"    folder_key  varchar(40) PRIMARY KEY,\n"
        L"    folder      text NOT NULL,\n"
        L"    night       bigint\n" + table,
        L"CREATE TABLE kestrow_night (\n"
        L"    id          bigint AUTO_INCREMENT PRIMARY KEY,\n"
        L"    folder_key  varchar(40) NOT NULL,\n"
        L"    folder      text NOT NULL,\n"
        L"    subfolders  smallint NOT NULL,\n"
        L"    listed_by   varchar(255) NOT NULL,\n"
        L"    started     datetime(6) NOT NULL DEFAULT UTC_TIMESTAMP(6),\n"
        L"    drafts      integer NOT NULL\n" + table,
        L"CREATE TABLE kestrow_draft (\n"
        L"    night       bigint NOT NULL,\n"
        L"    number      integer NOT NULL,\n"
        L"    name        text NOT NULL,\n"
        L"    state       varchar(10) NOT NULL,\n"
        L"    tries       integer NOT NULL DEFAULT 0,\n"
        L"    computer    varchar(255),\n"
        L"    holder      varchar(200),\n"
        L"    previous    varchar(255),\n"
        L"    lease_until datetime(6),\n"
        L"    taken       datetime(6),\n"
        L"    ended       datetime(6),\n"
        L"    error       text,\n"
        L"    PRIMARY KEY (night, number),\n"
        L"    INDEX kestrow_draft_open (night, state, number)\n" + table,
        L"CREATE TABLE kestrow_computer (\n"
        L"    night       bigint NOT NULL,\n"
        L"    computer    varchar(255) NOT NULL,\n"
        L"    joined      datetime(6) NOT NULL DEFAULT UTC_TIMESTAMP(6),\n"
        L"    ended       varchar(40),\n"
        L"    PRIMARY KEY (night, computer)\n" + table,
        L"CREATE TABLE kestrow_row (\n"
        L"    id             bigint AUTO_INCREMENT PRIMARY KEY,\n" +
            RowTableColumns() +
        L"    UNIQUE KEY kestrow_row_sent (sender, seq),\n"
        L"    INDEX kestrow_row_night (night, computer, id)\n" + table,
    };
    // The folder's row may be chosen by one computer while another lists a
    // long tree: the others wait for it rather than give up after 50 s.
    sql.sessionSetup = {L"SET SESSION innodb_lock_wait_timeout = 3600"};

    sql.ensureFolder =
        L"INSERT INTO kestrow_folder (folder_key, folder) VALUES (?, ?) ON DUPLICATE KEY UPDATE folder_key = folder_key";
    sql.nightFacts =
        L"SELECT n.id,\n"
        L"       (SELECT count(*) FROM kestrow_draft d WHERE d.night = n.id AND d.state IN ('waiting', 'taken')),\n"
        L"       TIMESTAMPDIFF(SECOND, n.started, UTC_TIMESTAMP(6)),\n"
        L"       (SELECT count(*) FROM kestrow_computer c WHERE c.night = n.id AND c.computer = ?),\n"
        L"       (SELECT c.ended FROM kestrow_computer c WHERE c.night = n.id AND c.computer = ?)\n"
        L"  FROM kestrow_night n WHERE n.id = ?";
    sql.newNight = L"INSERT INTO kestrow_night (folder_key, folder, subfolders, listed_by, drafts) VALUES (?, ?, ?, ?, ?)";
    sql.newNightId = L"SELECT LAST_INSERT_ID()";
    sql.joinNight = L"INSERT INTO kestrow_computer (night, computer) VALUES (?, ?) ON DUPLICATE KEY UPDATE ended = NULL";

    sql.claimInOneStatement = false;
    sql.claimPick =
        L"SELECT number, tries, computer FROM kestrow_draft\n"
        L" WHERE night = ? AND (state = 'waiting' OR (state = 'taken' AND lease_until < UTC_TIMESTAMP(6)))\n"
        L" ORDER BY number LIMIT 1 FOR UPDATE SKIP LOCKED";
    // MariaDB assigns from left to right: previous gets the old computer.
    sql.claimTake =
        L"UPDATE kestrow_draft\n"
        L"   SET previous = computer, state = 'taken', computer = ?, holder = ?, tries = tries + 1,\n"
        L"       lease_until = UTC_TIMESTAMP(6) + INTERVAL ? SECOND, taken = UTC_TIMESTAMP(6)\n"
        L" WHERE night = ? AND number = ?";
    sql.renew =
        L"UPDATE kestrow_draft SET lease_until = UTC_TIMESTAMP(6) + INTERVAL ? SECOND\n"
        L" WHERE night = ? AND number = ? AND holder = ? AND state = 'taken'";
    sql.stored =
        L"UPDATE kestrow_draft SET state = 'stored', computer = ?, holder = ?, lease_until = NULL, error = NULL,\n"
        L"       ended = UTC_TIMESTAMP(6)\n"
        L" WHERE night = ? AND number = ? AND (holder = ? OR state IN ('waiting', 'taken'))";
    sql.failed =
        L"UPDATE kestrow_draft SET state = 'failed', error = ?, lease_until = NULL, ended = UTC_TIMESTAMP(6)\n"
        L" WHERE night = ? AND number = ? AND holder = ? AND state = 'taken'";
    sql.release =
        L"UPDATE kestrow_draft SET state = 'waiting', lease_until = NULL, tries = tries - ?\n"
        L" WHERE night = ? AND number = ? AND holder = ? AND state = 'taken'";
    sql.progress =
        L"SELECT SUM(CASE WHEN state = 'waiting' THEN 1 ELSE 0 END), SUM(CASE WHEN state = 'taken' THEN 1 ELSE 0 END),\n"
        L"       SUM(CASE WHEN state = 'stored' THEN 1 ELSE 0 END), SUM(CASE WHEN state = 'failed' THEN 1 ELSE 0 END),\n"
        L"       MIN(CASE WHEN state = 'taken'\n"
        L"                THEN TIMESTAMPDIFF(MICROSECOND, UTC_TIMESTAMP(6), lease_until) DIV 1000 END)\n"
        L"  FROM kestrow_draft WHERE night = ?";
    sql.nextToTake =
        L"SELECT number, name, state, computer FROM kestrow_draft\n"
        L" WHERE night = ? AND (state = 'waiting' OR (state = 'taken' AND lease_until < UTC_TIMESTAMP(6)))\n"
        L" ORDER BY number LIMIT 1";

    // IGNORE only passes over a row sent before: the columns take any text.
    sql.rowsHead = L"INSERT IGNORE INTO " + RowInsertHead();
    return sql;
}

}  // namespace

const NightSql& MariaDbStatements() {
    static const NightSql sql = Make();
    return sql;
}

}  // namespace kestrow
