#include "report/Html.h"

#include "common/Utf8.h"
#include "unattended/DialogRows.h"

#include <cstdint>
#include <cwctype>
#include <vector>

namespace kestrow {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAbsolute(const std::wstring& path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return true;
    return path.size() >= 3 && std::iswalpha(static_cast<wint_t>(path[0])) && path[1] == L':' && IsSeparator(path[2]);
}

std::vector<std::wstring> Components(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t c : path) {
        if (IsSeparator(c)) {
            if (!part.empty() && part != L".") parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty() && part != L".") parts.push_back(part);
    return parts;
}

// How many leading components name the drive or share: "C:", or the
// server and share of a UNC path.
size_t RootLength(const std::wstring& path) {
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]) ? 2 : 1;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
    return true;
}

// A path component in a URL: unreserved characters as they are, every
// other byte of its UTF-8 as %XX.
std::wstring UrlComponent(const std::wstring& part) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring encoded;
    for (unsigned char byte : Utf8Of(part)) {
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                                byte == '~';
        if (unreserved) {
            encoded += static_cast<wchar_t>(byte);
        } else {
            encoded += L'%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

}  // namespace

std::wstring HtmlText(const std::wstring& text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
            case L'&': escaped += L"&amp;"; break;
            case L'<': escaped += L"&lt;"; break;
            case L'>': escaped += L"&gt;"; break;
            case L'"': escaped += L"&quot;"; break;
            case L'\'': escaped += L"&#39;"; break;
            default: escaped += c; break;
        }
    }
    return escaped;
}

std::wstring FileReference(const std::wstring& pageFolder, const std::wstring& baseFolder, const std::wstring& target) {
    const std::wstring path = IsAbsolute(target) ? target : baseFolder + L"\\" + target;
    const std::vector<std::wstring> to = Components(path);
    const std::vector<std::wstring> from = Components(pageFolder);
    const size_t root = RootLength(path);
    bool sameRoot = IsAbsolute(pageFolder) && RootLength(pageFolder) == root && from.size() >= root && to.size() > root;
    for (size_t i = 0; sameRoot && i < root; ++i) sameRoot = SameName(from[i], to[i]);
    if (!sameRoot) {
        // file:///C:/Logs/a.png, or file://server/share/a.png
        std::wstring reference = root == 2 ? L"file://" : L"file:///";
        for (size_t i = 0; i < to.size(); ++i) {
            if (i > 0) reference += L'/';
            reference += root == 1 && i == 0 ? to[0] : UrlComponent(to[i]);
        }
        return reference;
    }
    std::wstring reference;
    size_t common = root;
    while (common < from.size() && common + 1 < to.size() && SameName(from[common], to[common])) ++common;
    for (size_t i = common; i < from.size(); ++i) reference += L"../";
    for (size_t i = common; i < to.size(); ++i) reference += UrlComponent(to[i]) + (i + 1 < to.size() ? L"/" : L"");
    return reference;
}

std::optional<std::wstring> DialogPictureReference(const std::wstring& pageFolder, const std::wstring& logPath,
                                                   const std::wstring& picture) {
    const std::vector<std::wstring> parts = Components(picture);
    if (parts.size() < 2) return std::nullopt;
    // A scheme ("http:", "file:") makes it a URL; a drive ("C:") is a path.
    if (parts[0].size() > 2 && parts[0].back() == L':') return std::nullopt;
    for (const std::wstring& part : parts)
        if (part == L"..") return std::nullopt;
    const std::wstring& name = parts.back();
    const std::wstring& folder = parts[parts.size() - 2];
    if (name.find(L':') != std::wstring::npos) return std::nullopt;  // a stream, or no file name at all
    const std::wstring ownFolder = DialogFolderBesideLog(logPath);
    const size_t slash = ownFolder.find_last_of(L"\\/");
    if (!SameName(folder, slash == std::wstring::npos ? ownFolder : ownFolder.substr(slash + 1))) return std::nullopt;
    return FileReference(pageFolder, std::wstring(), ownFolder + L"\\" + name);
}

std::string Utf8Of(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = static_cast<std::uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDFFF) {
            const bool pair = code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            code = pair ? 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00) : 0xFFFD;
        }
        if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
        AppendUtf8(bytes, static_cast<char32_t>(code));
    }
    return bytes;
}

const wchar_t* PageStyle() {
    return LR"(
body{font:15px/1.45 "Segoe UI",system-ui,-apple-system,sans-serif;color:#1f2328;background:#fff;margin:28px auto;max-width:1120px;padding:0 20px}
h1{font-size:26px;margin:0 0 2px}h2{font-size:19px;margin:34px 0 10px;border-bottom:1px solid #d0d7de;padding-bottom:4px}
h3{font-size:15px;margin:20px 0 6px}.sub{color:#59636e;margin:0 0 18px}
.tiles{display:flex;flex-wrap:wrap;gap:12px}.tile{border:1px solid #d0d7de;border-radius:8px;padding:10px 16px;min-width:118px}
.tile b{display:block;font-size:28px;line-height:1.2}.tile span{color:#59636e;font-size:13px}
.tile.bad{border-color:#cf222e;background:#ffebe9}.tile.bad b{color:#cf222e}.tile.warn{border-color:#bf8700;background:#fff8c5}
.tile.good b{color:#1a7f37}.alert{background:#fff8c5;border:1px solid #d4a72c;border-radius:6px;padding:8px 12px}
table{border-collapse:collapse;width:100%;font-size:14px}th,td{text-align:left;padding:4px 8px;border-bottom:1px solid #eaeef2;vertical-align:top}
th{background:#f6f8fa;font-weight:600}td.n,th.n{text-align:right;font-variant-numeric:tabular-nums}
td.n{white-space:nowrap}td.path{word-break:break-all;font-family:Consolas,"DejaVu Sans Mono",monospace;font-size:13px}
.count{color:#59636e;font-weight:normal}.err{color:#cf222e}
figure{display:inline-block;margin:6px 12px 6px 0;border:1px solid #d0d7de;border-radius:6px;padding:6px;max-width:480px;vertical-align:top}
figure img{max-width:100%;display:block}figcaption{font-size:13px;color:#59636e}
.timeline{display:block;max-width:100%;height:auto}.timeline text{font-size:12px;fill:#3d444d}
.timeline .lane{text-anchor:end}.timeline .tick{text-anchor:middle;fill:#59636e}.timeline .grid{stroke:#eaeef2}
.timeline .lanebg{fill:#f6f8fa}.timeline .stored{fill:#2da44e}.timeline .failed{fill:#cf222e}
.timeline .inhand{fill:#d4a72c}.timeline .dialog{fill:#6639ba}
.legend{font-size:13px;color:#59636e}.legend i{display:inline-block;width:12px;height:12px;margin:0 4px 0 12px;vertical-align:-1px}
footer{margin-top:36px;color:#59636e;font-size:13px}
)";
}

std::wstring DataUri(const std::wstring& mediaType, const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::wstring uri = L"data:" + mediaType + L";base64,";
    uri.reserve(uri.size() + (bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (left > 1) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        if (left > 2) group |= static_cast<std::uint8_t>(bytes[i + 2]);
        uri += static_cast<wchar_t>(kDigits[(group >> 18) & 63]);
        uri += static_cast<wchar_t>(kDigits[(group >> 12) & 63]);
        uri += left > 1 ? static_cast<wchar_t>(kDigits[(group >> 6) & 63]) : L'=';
        uri += left > 2 ? static_cast<wchar_t>(kDigits[group & 63]) : L'=';
    }
    return uri;
}

}  // namespace kestrow
