-- The rights Kestrow needs, and no more: to read, add and change the rows
-- of its five tables (never to delete them, nor to make or change tables).
-- Run after kestrow-tables.sql. Replace kestrow by the database that holds
-- the tables, and 'kestrow'@'%' by the user the computers connect as; to
-- make one:
--   CREATE USER 'kestrow'@'%' IDENTIFIED BY '...';

GRANT SELECT, INSERT, UPDATE ON kestrow.kestrow_folder TO 'kestrow'@'%';
GRANT SELECT, INSERT, UPDATE ON kestrow.kestrow_draft TO 'kestrow'@'%';
GRANT SELECT, INSERT, UPDATE ON kestrow.kestrow_computer TO 'kestrow'@'%';
GRANT SELECT, INSERT ON kestrow.kestrow_night TO 'kestrow'@'%';
GRANT SELECT, INSERT ON kestrow.kestrow_row TO 'kestrow'@'%';
