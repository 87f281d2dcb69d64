#include "queue/NightSql.h"

namespace kestrow {

const NightSql& NightSqlFor(SqlEngine engine) {
    return engine == SqlEngine::PostgreSql ? PostgreSqlStatements() : MariaDbStatements();
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
