#pragma once
// Case folding for names: dialog titles and buttons, patterns, the shares'
// hash. Decided here by a fixed table rather than by the C library, whose
// answer beyond ASCII depends on the platform and the process's locale.
#include <string_view>

namespace kestrow {

// One character folded to upper case: ASCII, Latin-1, the pairs of Latin
// Extended-A, Greek α–ω (final ς as Σ) and Cyrillic а–я, ѐ–џ; any other
// character as it is. The shares of a tree are computed with this table,
// so it must never change.
char32_t FoldToUpper(char32_t c);

// Equal but for the case that FoldToUpper folds.
bool SameIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace kestrow
