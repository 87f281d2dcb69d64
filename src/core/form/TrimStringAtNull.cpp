#include "common/CheckedInt.h"
#include "common/RuntimeError.h"
#include "form/foldbrow.h"

namespace kestrow::foldbrow {

std::wstring TrimStringAtNull(const std::wstring& text) {
    try {
        const size_t at = text.find(L'\0');
        if (at == std::wstring::npos) return text;
        // The position is a 16-bit number, as the shell's paths never come
        // near that length.
        const auto position = CheckedNarrow<std::int16_t>(at + 1);
        return text.substr(0, static_cast<size_t>(position - 1));
    } catch (const RuntimeError& error) {
        throw error.WithSource(kTrimSource);
    }
}

}  // namespace kestrow::foldbrow
