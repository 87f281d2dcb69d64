#include "queue/NightSql.h"

namespace kestrow {

const NightSql& NightSqlFor(SqlEngine engine) {
    return engine == SqlEngine::PostgreSql ? PostgreSqlStatements() : MariaDbStatements();
}

NightSql StatementsBothEnginesTake(const std::wstring& fromDual) {
    NightSql sql;
    sql.tablesPresent =
        L"SELECT 1 FROM kestrow_folder, kestrow_night, kestrow_draft, kestrow_computer, kestrow_row WHERE 1 = 0";
    // Each statement fails without its right and, matching no row, changes nothing.
    const auto table = [&](const std::wstring& name, const std::wstring& insertColumns, const std::wstring& values,
                           const std::wstring& updateColumn) {
        sql.rights.push_back({L"SELECT on " + name, L"SELECT 1 FROM " + name + L" WHERE 1 = 0"});
        sql.rights.push_back({L"INSERT on " + name, L"INSERT INTO " + name + L" (" + insertColumns + L") SELECT " +
                                                        values + fromDual + L" WHERE 1 = 0"});
        if (!updateColumn.empty())
            sql.rights.push_back({L"UPDATE on " + name, L"UPDATE " + name + L" SET " + updateColumn + L" = " +
                                                            updateColumn + L" WHERE 1 = 0"});
    };
    table(L"kestrow_folder", L"folder_key, folder", L"'', ''", L"night");
    table(L"kestrow_night", L"folder_key, folder, subfolders, listed_by, drafts", L"'', '', 0, '', 0", L"");
    table(L"kestrow_draft", L"night, number, name, state", L"0, 0, '', ''", L"state");
    table(L"kestrow_computer", L"night, computer", L"0, ''", L"ended");
    table(L"kestrow_row", L"night, computer, sender, seq", L"0, '', '', 0", L"");

    sql.lockFolder = L"SELECT night FROM kestrow_folder WHERE folder_key = ? FOR UPDATE";
    sql.setFolderNight = L"UPDATE kestrow_folder SET night = ? WHERE folder_key = ?";
    sql.draftsHead = L"INSERT INTO kestrow_draft (night, number, name, state) VALUES ";
    sql.draftsRow = L"(?, ?, ?, 'waiting')";
    sql.leaveNight = L"UPDATE kestrow_computer SET ended = ? WHERE night = ? AND computer = ?";
    sql.openDrafts =
        L"SELECT number, name FROM kestrow_draft WHERE night = ? AND state IN ('waiting', 'taken') ORDER BY number";
    sql.rowsRow = L"(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    sql.nightRows =
        L"SELECT computer, sender, seq, at_time, result, file_path, error_number, error_source, description,\n"
        L"       run_number, seconds, size_bytes, written, session_number, detail\n"
        L"  FROM kestrow_row WHERE night = ? ORDER BY computer, id";
    sql.folderNight =
        L"SELECT n.id, n.folder FROM kestrow_folder f JOIN kestrow_night n ON n.id = f.night WHERE f.folder_key = ?";
    sql.latestNight = L"SELECT id, folder FROM kestrow_night ORDER BY id DESC LIMIT 1";
    sql.nightDrafts =
        L"SELECT number, name, state, computer, tries, error FROM kestrow_draft WHERE night = ? ORDER BY number";
    return sql;
}

std::wstring RowTableColumns() {
    return L"    night          bigint NOT NULL,\n"
        L"    computer       varchar(255) NOT NULL,\n"
        L"    sender         varchar(200) NOT NULL,\n"
        L"    seq            integer NOT NULL,\n"
        L"    at_time        text,\n"
        L"    result         text,\n"
        L"    file_path      text,\n"
        L"    error_number   text,\n"
        L"    error_source   text,\n"
        L"    description    text,\n"
        L"    run_number     text,\n"
        L"    seconds        text,\n"
        L"    size_bytes     text,\n"
        L"    written        text,\n"
        L"    session_number text,\n"
        L"    detail         text,\n";
}

std::wstring RowInsertHead() {
    return L"kestrow_row (night, computer, sender, seq, at_time, result, file_path, error_number,\n"
           L"    error_source, description, run_number, seconds, size_bytes, written, session_number, detail) VALUES ";
}

std::wstring TablesScript(const NightSql& sql) {
    std::wstring script;
    for (const std::wstring& statement : sql.createTables) script += statement + L";\n\n";
    return script;
}

std::optional<std::int64_t> SqlNumber(const std::optional<std::wstring>& field) {
    if (!field || field->empty()) return std::nullopt;
    size_t at = 0;
    const bool negative = (*field)[0] == L'-';
    if (negative) at = 1;
    if (at >= field->size() || field->size() - at > 18) return std::nullopt;
    std::int64_t value = 0;
    for (; at < field->size(); ++at) {
        const wchar_t c = (*field)[at];
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    return negative ? -value : value;
}

std::optional<double> SqlSeconds(const std::optional<std::wstring>& field) {
    if (!field || field->empty()) return std::nullopt;
    const size_t point = field->find(L'.');
    const std::optional<std::int64_t> whole =
        SqlNumber(point == std::wstring::npos ? *field : field->substr(0, point));
    if (!whole) return std::nullopt;
    double fraction = 0, scale = 1;
    if (point != std::wstring::npos)
        for (size_t at = point + 1; at < field->size(); ++at) {
            const wchar_t c = (*field)[at];
            if (c < L'0' || c > L'9') return std::nullopt;
            scale /= 10;
            fraction += (c - L'0') * scale;
        }
    const bool negative = !field->empty() && (*field)[0] == L'-';
    return static_cast<double>(*whole) + (negative ? -fraction : fraction);
}

}  // namespace kestrow
