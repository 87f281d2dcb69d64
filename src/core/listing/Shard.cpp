#include "listing/Shard.h"

#include "common/CaseFold.h"
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

std::uint64_t ShardHash(const std::wstring& relativePath) {
    std::string bytes;
    bytes.reserve(relativePath.size() + 8);
    for (char32_t c : CodePoints(relativePath)) AppendUtf8(bytes, FoldToUpper(c == U'/' ? U'\\' : c));
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
