#pragma once
#include <string>

namespace kestrow {

// `text` without the spaces and tabs around it.
inline std::wstring WithoutBlanksAround(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

}  // namespace kestrow
