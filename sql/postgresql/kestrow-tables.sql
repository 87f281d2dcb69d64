-- Kestrow's tables for nights shared by several computers, on PostgreSQL
-- (tested with 15). A database administrator runs this once, in the
-- database the computers' connection names, for example:
--   psql -d kestrow -f kestrow-tables.sql
-- then kestrow-rights.sql. Kestrow makes these tables itself when the user
-- it connects as may create tables there; these are the same statements.

CREATE TABLE kestrow_folder (
    folder_key  varchar(40) PRIMARY KEY,
    folder      text NOT NULL,
    night       bigint
);

CREATE TABLE kestrow_night (
    id          bigserial PRIMARY KEY,
    folder_key  varchar(40) NOT NULL,
    folder      text NOT NULL,
    subfolders  smallint NOT NULL,
    listed_by   varchar(255) NOT NULL,
    started     timestamptz NOT NULL DEFAULT CURRENT_TIMESTAMP,
    drafts      integer NOT NULL
);

CREATE TABLE kestrow_draft (
    night       bigint NOT NULL,
    number      integer NOT NULL,
    name        text NOT NULL,
    state       varchar(10) NOT NULL,
    tries       integer NOT NULL DEFAULT 0,
    computer    varchar(255),
    holder      varchar(200),
    previous    varchar(255),
    lease_until timestamptz,
    taken       timestamptz,
    ended       timestamptz,
    error       text,
    PRIMARY KEY (night, number)
);

CREATE INDEX kestrow_draft_open ON kestrow_draft (night, state, number);

CREATE TABLE kestrow_computer (
    night       bigint NOT NULL,
    computer    varchar(255) NOT NULL,
    joined      timestamptz NOT NULL DEFAULT CURRENT_TIMESTAMP,
    ended       varchar(40),
    PRIMARY KEY (night, computer)
);

CREATE TABLE kestrow_row (
    id             bigserial PRIMARY KEY,
    night          bigint NOT NULL,
    computer       varchar(255) NOT NULL,
    sender         varchar(200) NOT NULL,
    seq            integer NOT NULL,
    at_time        text,
    result         text,
    file_path      text,
    error_number   text,
    error_source   text,
    description    text,
    run_number     text,
    seconds        text,
    size_bytes     text,
    written        text,
    session_number text,
    detail         text,
    UNIQUE (sender, seq)
);

CREATE INDEX kestrow_row_night ON kestrow_row (night, computer, id);

