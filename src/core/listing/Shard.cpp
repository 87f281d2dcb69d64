#include "listing/Shard.h"

#include "common/Utf8.h"

namespace kestrow {
namespace {

// The code points of a text, whether wchar_t holds UTF-16 (Windows) or
// UTF-32: both give the same characters, so both give the same share. A
// lone surrogate stands for itself.
std::u32string CodePoints(const std::wstring& text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const char32_t low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        out += c;
    }
    return out;
}

std::uint64_t Fmix64(std::uint64_t k) {
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdULL;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ULL;
    k ^= k >> 33;
    return k;
}

}  // namespace

char32_t FoldForShard(char32_t c) {
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

std::uint64_t ShardHash(const std::wstring& relativePath) {
    std::string bytes;
    bytes.reserve(relativePath.size() + 8);
    for (char32_t c : CodePoints(relativePath)) AppendUtf8(bytes, FoldForShard(c == U'/' ? U'\\' : c));
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001b3ULL;
    }
    return Fmix64(hash);
}

std::int32_t ShardOf(const std::wstring& relativePath, std::int32_t count) {
    if (count <= 1) return 1;
    return static_cast<std::int32_t>(ShardHash(relativePath) % static_cast<std::uint64_t>(count)) + 1;
}

std::vector<std::wstring> TakeShard(const std::vector<std::wstring>& names, std::int32_t index, std::int32_t count) {
    if (count <= 1) return names;
    std::vector<std::wstring> share;
    for (const std::wstring& name : names)
        if (ShardOf(name, count) == index) share.push_back(name);
    return share;
}

}  // namespace kestrow
