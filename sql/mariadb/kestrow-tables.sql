-- Kestrow's tables for nights shared by several computers, on MariaDB
-- (10.6 or later: Kestrow takes drafts with SKIP LOCKED; tested with 10.11).
-- A database administrator runs this once, in the database the computers'
-- connection names, for example:
--   mariadb kestrow < kestrow-tables.sql
-- then kestrow-rights.sql. Kestrow makes these tables itself when the user
-- it connects as may create tables there; these are the same statements.

CREATE TABLE kestrow_folder (
    folder_key  varchar(40) PRIMARY KEY,
    folder      text NOT NULL,
    night       bigint
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE kestrow_night (
    id          bigint AUTO_INCREMENT PRIMARY KEY,
    folder_key  varchar(40) NOT NULL,
    folder      text NOT NULL,
    subfolders  smallint NOT NULL,
    listed_by   varchar(255) NOT NULL,
    started     datetime(6) NOT NULL DEFAULT UTC_TIMESTAMP(6),
    drafts      integer NOT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE kestrow_draft (
    night       bigint NOT NULL,
    number      integer NOT NULL,
    name        text NOT NULL,
    state       varchar(10) NOT NULL,
    tries       integer NOT NULL DEFAULT 0,
    computer    varchar(255),
    holder      varchar(200),
    previous    varchar(255),
    lease_until datetime(6),
    taken       datetime(6),
    ended       datetime(6),
    error       text,
    PRIMARY KEY (night, number),
    INDEX kestrow_draft_open (night, state, number)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE kestrow_computer (
    night       bigint NOT NULL,
    computer    varchar(255) NOT NULL,
    joined      datetime(6) NOT NULL DEFAULT UTC_TIMESTAMP(6),
    ended       varchar(40),
    PRIMARY KEY (night, computer)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE kestrow_row (
    id             bigint AUTO_INCREMENT PRIMARY KEY,
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
    UNIQUE KEY kestrow_row_sent (sender, seq),
    INDEX kestrow_row_night (night, computer, id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

