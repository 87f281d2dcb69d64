#include "schedule/XmlText.h"

#include <cstdint>

namespace kestrow {
namespace {

bool IsNameEnd(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'/' || c == L'>'; }

std::wstring LocalName(const std::wstring& name) {
    const size_t colon = name.find(L':');
    return colon == std::wstring::npos ? name : name.substr(colon + 1);
}

// Where the markup that starts at `at` ('<') ends, past its closing
// characters, for what is no element; npos when it does not.
size_t SkipNonElement(const std::wstring& xml, size_t at) {
    const auto past = [&](const wchar_t* close) {
        const size_t found = xml.find(close, at);
        return found == std::wstring::npos ? found : found + std::char_traits<wchar_t>::length(close);
    };
    if (xml.compare(at, 4, L"<!--") == 0) return past(L"-->");
    if (xml.compare(at, 9, L"<![CDATA[") == 0) return past(L"]]>");
    if (xml.compare(at, 2, L"<?") == 0) return past(L"?>");
    return past(L">");  // <!DOCTYPE ...>
}

// The end of a start or end tag that begins at `at`: just past its '>',
// quoted attribute values passed over. npos when unterminated.
size_t TagEnd(const std::wstring& xml, size_t at) {
    wchar_t quote = 0;
    for (size_t i = at + 1; i < xml.size(); ++i) {
        const wchar_t c = xml[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == L'"' || c == L'\'') {
            quote = c;
        } else if (c == L'>') {
            return i + 1;
        }
    }
    return std::wstring::npos;
}

// The element that starts at `at`, its end tag found by depth.
std::optional<XmlElement> ElementAt(const std::wstring& xml, size_t at, size_t limit) {
    const size_t tagEnd = TagEnd(xml, at);
    if (tagEnd == std::wstring::npos || tagEnd > limit) return std::nullopt;
    XmlElement element;
    element.begin = at;
    size_t nameEnd = at + 1;
    while (nameEnd < tagEnd && !IsNameEnd(xml[nameEnd])) ++nameEnd;
    element.name = LocalName(xml.substr(at + 1, nameEnd - at - 1));
    element.selfClosed = xml[tagEnd - 2] == L'/';
    element.attributes = xml.substr(nameEnd, tagEnd - (element.selfClosed ? 2 : 1) - nameEnd);
    element.contentBegin = element.contentEnd = element.end = tagEnd;
    if (element.selfClosed) return element;
    int depth = 1;
    for (size_t i = tagEnd; i < limit;) {
        const size_t open = xml.find(L'<', i);
        if (open == std::wstring::npos || open >= limit) return std::nullopt;
        if (xml.compare(open, 2, L"<!") == 0 || xml.compare(open, 2, L"<?") == 0) {
            i = SkipNonElement(xml, open);
            if (i == std::wstring::npos) return std::nullopt;
            continue;
        }
        const size_t close = TagEnd(xml, open);
        if (close == std::wstring::npos || close > limit) return std::nullopt;
        if (xml[open + 1] == L'/') {
            if (--depth == 0) {
                element.contentEnd = open;
                element.end = close;
                return element;
            }
        } else if (xml[close - 2] != L'/') {
            ++depth;
        }
        i = close;
    }
    return std::nullopt;
}

}  // namespace

std::wstring EscapedXml(const std::wstring& text) {
    std::wstring escaped;
    for (const wchar_t c : text) {
        switch (c) {
            case L'&': escaped += L"&amp;"; break;
            case L'<': escaped += L"&lt;"; break;
            case L'>': escaped += L"&gt;"; break;
            case L'"': escaped += L"&quot;"; break;
            case L'\'': escaped += L"&apos;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::wstring UnescapedXml(const std::wstring& text) {
    static const std::pair<const wchar_t*, wchar_t> kNamed[] = {
        {L"amp;", L'&'}, {L"lt;", L'<'}, {L"gt;", L'>'}, {L"quot;", L'"'}, {L"apos;", L'\''}};
    std::wstring plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            plain += text[i];
            continue;
        }
        bool read = false;
        for (const auto& [name, c] : kNamed) {
            if (text.compare(i + 1, std::char_traits<wchar_t>::length(name), name) == 0) {
                plain += c;
                i += std::char_traits<wchar_t>::length(name);
                read = true;
                break;
            }
        }
        const size_t semicolon = text.find(L';', i);
        if (!read && text.compare(i + 1, 1, L"#") == 0 && semicolon != std::wstring::npos && semicolon - i <= 10) {
            const bool hex = text.compare(i + 2, 1, L"x") == 0;
            const std::wstring digits = text.substr(i + (hex ? 3 : 2), semicolon - i - (hex ? 3 : 2));
            std::uint32_t code = 0;
            bool valid = !digits.empty();
            for (const wchar_t d : digits) {
                const int value = d >= L'0' && d <= L'9'   ? d - L'0'
                                  : hex && d >= L'a' && d <= L'f' ? d - L'a' + 10
                                  : hex && d >= L'A' && d <= L'F' ? d - L'A' + 10
                                                                  : -1;
                valid = valid && value >= 0;
                code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value < 0 ? 0 : value);
            }
            if (valid && code > 0 && code <= 0x10FFFF) {
                if (code >= 0x10000 && sizeof(wchar_t) == 2) {
                    code -= 0x10000;
                    plain += static_cast<wchar_t>(0xD800 + (code >> 10));
                    plain += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
                } else {
                    plain += static_cast<wchar_t>(code);
                }
                i = semicolon;
                read = true;
            }
        }
        if (!read) plain += L'&';
    }
    return plain;
}

std::vector<XmlElement> ChildElements(const std::wstring& xml, size_t begin, size_t end) {
    std::vector<XmlElement> children;
    for (size_t at = begin; at < end;) {
        const size_t open = xml.find(L'<', at);
        if (open == std::wstring::npos || open >= end) break;
        if (xml.compare(open, 2, L"<!") == 0 || xml.compare(open, 2, L"<?") == 0) {
            at = SkipNonElement(xml, open);
            if (at == std::wstring::npos) break;
            continue;
        }
        if (xml.compare(open, 2, L"</") == 0) break;
        const std::optional<XmlElement> element = ElementAt(xml, open, end);
        if (!element) break;
        children.push_back(*element);
        at = element->end;
    }
    return children;
}

std::vector<XmlElement> TopElements(const std::wstring& xml) { return ChildElements(xml, 0, xml.size()); }

std::optional<XmlElement> ChildNamed(const std::wstring& xml, const XmlElement& parent, const std::wstring& name) {
    for (const XmlElement& child : ChildElements(xml, parent.contentBegin, parent.contentEnd))
        if (child.name == name) return child;
    return std::nullopt;
}

std::wstring AttributeOf(const XmlElement& element, const std::wstring& name) {
    const std::wstring& text = element.attributes;
    for (size_t at = 0; at < text.size();) {
        const size_t equals = text.find(L'=', at);
        if (equals == std::wstring::npos) break;
        size_t nameBegin = at;
        while (nameBegin < equals && IsNameEnd(text[nameBegin])) ++nameBegin;
        size_t nameEnd = equals;
        while (nameEnd > nameBegin && IsNameEnd(text[nameEnd - 1])) --nameEnd;
        size_t valueBegin = equals + 1;
        while (valueBegin < text.size() && text[valueBegin] != L'"' && text[valueBegin] != L'\'') ++valueBegin;
        if (valueBegin >= text.size()) break;
        const size_t valueEnd = text.find(text[valueBegin], valueBegin + 1);
        if (valueEnd == std::wstring::npos) break;
        if (text.substr(nameBegin, nameEnd - nameBegin) == name)
            return UnescapedXml(text.substr(valueBegin + 1, valueEnd - valueBegin - 1));
        at = valueEnd + 1;
    }
    return std::wstring();
}

std::wstring TextOf(const std::wstring& xml, const XmlElement& element) {
    return UnescapedXml(xml.substr(element.contentBegin, element.contentEnd - element.contentBegin));
}

}  // namespace kestrow
