#include "listing/WildcardMatch.h"

#include "common/CaseFold.h"

namespace kestrow {

bool WildcardMatch(std::wstring_view pattern, std::wstring_view name) {
    // Greedy matching with one back-track point: linear for the patterns in
    // use and never worse than O(pattern * name).
    size_t p = 0, n = 0;
    size_t starP = std::wstring_view::npos, starN = 0;
    while (n < name.size()) {
        // A star is a wildcard even where the name holds a '*' itself.
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || FoldToUpper(static_cast<char32_t>(pattern[p])) == FoldToUpper(static_cast<char32_t>(name[n])))) {
            ++p;
            ++n;
        } else if (starP != std::wstring_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

}  // namespace kestrow
