#include "common/ConnectionText.h"

#include "common/CaseFold.h"

namespace kestrow {
namespace {

bool IsPasswordKey(const std::wstring& key) {
    std::wstring trimmed = key;
    while (!trimmed.empty() && trimmed.front() == L' ') trimmed.erase(trimmed.begin());
    while (!trimmed.empty() && trimmed.back() == L' ') trimmed.pop_back();
    return SameIgnoringCase(trimmed, L"PWD") || SameIgnoringCase(trimmed, L"PASSWORD");
}

// Each attribute with where its value starts and ends in the string.
struct Span {
    ConnectionAttribute attribute;
    size_t valueBegin = 0, valueEnd = 0;
};

std::vector<Span> Spans(const std::wstring& text) {
    std::vector<Span> spans;
    size_t at = 0;
    while (at < text.size()) {
        const size_t equals = text.find(L'=', at);
        const size_t semicolon = text.find(L';', at);
        if (equals == std::wstring::npos || (semicolon != std::wstring::npos && semicolon < equals)) {
            // A part without "=" (or an empty one) is no attribute.
            if (semicolon == std::wstring::npos) break;
            at = semicolon + 1;
            continue;
        }
        Span span;
        span.attribute.key = text.substr(at, equals - at);
        span.valueBegin = equals + 1;
        size_t end = span.valueBegin;
        if (end < text.size() && text[end] == L'{') {
            ++end;
            while (end < text.size()) {
                if (text[end] == L'}') {
                    if (end + 1 < text.size() && text[end + 1] == L'}') {
                        span.attribute.value += L'}';
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                span.attribute.value += text[end++];
            }
            span.valueEnd = end;
            const size_t next = text.find(L';', end);
            at = next == std::wstring::npos ? text.size() : next + 1;
        } else {
            end = semicolon == std::wstring::npos ? text.size() : semicolon;
            span.attribute.value = text.substr(span.valueBegin, end - span.valueBegin);
            span.valueEnd = end;
            at = semicolon == std::wstring::npos ? text.size() : semicolon + 1;
        }
        spans.push_back(std::move(span));
    }
    return spans;
}

void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with) {
    if (what.empty()) return;
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

}  // namespace

std::vector<ConnectionAttribute> ConnectionAttributes(const std::wstring& connection) {
    std::vector<ConnectionAttribute> attributes;
    for (Span& span : Spans(connection)) attributes.push_back(std::move(span.attribute));
    return attributes;
}

bool HoldsPassword(const std::wstring& connection) {
    for (const Span& span : Spans(connection))
        if (IsPasswordKey(span.attribute.key) && !span.attribute.value.empty()) return true;
    return false;
}

std::wstring WithoutPassword(const std::wstring& connection) {
    std::wstring text = connection;
    const std::vector<Span> spans = Spans(connection);
    // From the end, so that the earlier spans keep their places.
    for (auto span = spans.rbegin(); span != spans.rend(); ++span)
        if (IsPasswordKey(span->attribute.key)) text.replace(span->valueBegin, span->valueEnd - span->valueBegin, L"***");
    return text;
}

std::wstring ScrubPassword(const std::wstring& text, const std::wstring& connection) {
    std::wstring scrubbed = text;
    for (const Span& span : Spans(connection))
        if (IsPasswordKey(span.attribute.key)) {
            const std::wstring raw = connection.substr(span.valueBegin, span.valueEnd - span.valueBegin);
            ReplaceAll(scrubbed, raw, L"***");
            ReplaceAll(scrubbed, span.attribute.value, L"***");
        }
    // A driver that echoes a connection string of its own making, with the
    // password written its own way.
    for (const std::wstring key : {L"PWD=", L"PASSWORD="}) {
        for (size_t at = 0; at + key.size() <= scrubbed.size(); ++at) {
            if (!SameIgnoringCase(std::wstring_view(scrubbed).substr(at, key.size()), key)) continue;
            const size_t begin = at + key.size();
            size_t end = begin;
            while (end < scrubbed.size() && scrubbed[end] != L';' && scrubbed[end] != L' ' && scrubbed[end] != L'\n')
                ++end;
            if (end > begin && scrubbed.compare(begin, end - begin, L"***") != 0) scrubbed.replace(begin, end - begin, L"***");
            at = begin;
        }
    }
    return scrubbed;
}

std::wstring ConnectionProblem(const std::wstring& connection) {
    if (connection.empty()) return L"the connection is empty";
    if (Spans(connection).empty())
        return L"it is no ODBC connection string: give \"DSN=<name>\" or \"DRIVER={...};SERVER=...;DATABASE=...\"";
    return std::wstring();
}

}  // namespace kestrow
