-- The rights Kestrow needs, and no more: to read, add and change the rows
-- of its five tables (never to delete them, nor to make or change tables),
-- and to number new nights and rows. Run after kestrow-tables.sql, in the
-- same database. Replace kestrow by the role the computers connect as; to
-- make one that signs in with a password kept out of Kestrow's command line
-- (see docs/several-computers.md):
--   CREATE ROLE kestrow LOGIN PASSWORD '...';

GRANT SELECT, INSERT, UPDATE ON kestrow_folder, kestrow_draft, kestrow_computer TO kestrow;
GRANT SELECT, INSERT ON kestrow_night, kestrow_row TO kestrow;
GRANT USAGE ON SEQUENCE kestrow_night_id_seq, kestrow_row_id_seq TO kestrow;
