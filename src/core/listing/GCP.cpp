#include "listing/GCP.h"

#include "common/CheckedInt.h"
#include "common/RuntimeError.h"
#include "listing/WildcardMatch.h"

namespace kestrow::GCP {
namespace {

// Where the search for the separator starting at 0-based `from` finds it;
// an empty separator is found wherever the search starts inside the text.
size_t FindSeparator(const std::wstring& text, const std::wstring& sep, size_t from) {
    if (from >= text.size()) return std::wstring::npos;
    return sep.empty() ? from : text.find(sep[0], from);
}

std::wstring FirstCharacter(const std::wstring& separator) { return separator.substr(0, 1); }

}  // namespace

std::wstring ListFiles(std::wstring& folder, const std::wstring& pattern, const std::wstring& separator,
                       DirectoryEnumerator& directory) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';

    std::wstring accumulator;
    directory.ForEachEntry(folder + pattern, [&](const std::wstring& name, EntryKind kind) {
        if (kind != EntryKind::PlainFile || !WildcardMatch(pattern, name)) return;
        accumulator += name;
        accumulator += separator;
    });
    if (accumulator.size() < 2) return std::wstring();
    accumulator.pop_back();
    return accumulator;
}

std::int32_t CountOccurrences(const std::wstring& text, const std::wstring& token) {
    if (token.empty()) return CheckedNarrow<std::int32_t>(text.size());
    std::int64_t count = 0;
    for (size_t at = text.find(token); at != std::wstring::npos; at = text.find(token, at + 1)) ++count;
    return CheckedNarrow<std::int32_t>(count);
}

std::wstring GetField(const std::wstring& text, const std::wstring& separator, std::int32_t index) {
    if (index <= 0) throw InvalidCallError();
    const std::wstring sep = FirstCharacter(separator);
    // Positions are 1-based, as in the algorithm: `pos` is the separator that
    // ends the current entry, `prev` the one before it.
    size_t pos = 0, prev = 0;
    for (std::int32_t k = index; k > 0;) {
        prev = pos;
        const size_t found = FindSeparator(text, sep, pos);
        if (found == std::wstring::npos) {
            pos = text.size() + 1;
            break;
        }
        pos = found + 1;
        --k;
    }
    return text.substr(prev, pos - prev - 1);
}

std::vector<std::wstring> GetFields(const std::wstring& text, const std::wstring& separator, std::int32_t count) {
    std::vector<std::wstring> fields;
    if (count <= 0) return fields;
    fields.reserve(static_cast<size_t>(count));
    const std::wstring sep = FirstCharacter(separator);
    // Walk the separators once; once they run out, every further index
    // yields the entry after the last separator found, as GetField does.
    size_t prev = 0;
    bool exhausted = false;
    std::wstring last;
    for (std::int32_t i = 1; i <= count; ++i) {
        if (!exhausted) {
            const size_t found = FindSeparator(text, sep, prev);
            if (found == std::wstring::npos) {
                exhausted = true;
                last = text.substr(prev);
            } else {
                fields.push_back(text.substr(prev, found - prev));
                prev = found + 1;
                continue;
            }
        }
        fields.push_back(last);
    }
    return fields;
}

}  // namespace kestrow::GCP
