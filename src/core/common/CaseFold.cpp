#include "common/CaseFold.h"

namespace kestrow {

char32_t FoldToUpper(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // à..þ, not ÷
    if (c == 0xFF) return 0x178;                               // ÿ
    // Latin Extended-A: pairs of upper and lower case, upper first, but for
    // the two runs where the lower case letter comes first.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? c - 1 : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
    if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 0x20;  // α..ω, final ς as Σ
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;                      // а..я
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;                      // ѐ..џ
    return c;
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldToUpper(static_cast<char32_t>(a[i])) != FoldToUpper(static_cast<char32_t>(b[i]))) return false;
    return true;
}

}  // namespace kestrow
