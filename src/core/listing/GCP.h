#pragma once
// Delimited list helpers: a folder's matching file names as one string
// joined by a separator, counting its entries and picking one by number.
#include <cstdint>
#include <string>
#include <vector>

#include "listing/DirectoryEnumerator.h"

namespace kestrow::GCP {

// Makes `folder` end with "\" (the caller relies on that change) and returns
// the names of the plain files of that folder that match `pattern`, each
// followed by `separator`, without the last character of the result.
std::wstring ListFiles(std::wstring& folder, const std::wstring& pattern, const std::wstring& separator,
                       DirectoryEnumerator& directory);

// How often `token` occurs in `text`, overlapping occurrences included.
std::int32_t CountOccurrences(const std::wstring& text, const std::wstring& token);

// The `index`-th entry (1-based) of `text`, split at the first character of
// `separator`; an index beyond the last entry gives the last entry.
std::wstring GetField(const std::wstring& text, const std::wstring& separator, std::int32_t index);

// GetField for every index from 1 to `count`, in one pass over the text:
// the same entries, in linear rather than quadratic time.
std::vector<std::wstring> GetFields(const std::wstring& text, const std::wstring& separator, std::int32_t count);

}  // namespace kestrow::GCP
