#include "unattended/RunLog.h"

#include <cstdio>

#include "unattended/UnattendedRun.h"

namespace kestrow {

std::wstring LogHeaderFor(LogLayout layout) {
    std::wstring header = L"time,result,file,error,source,description";
    if (layout == LogLayout::SixColumns) return header;
    header += L",run,seconds,size,written";
    if (layout == LogLayout::WithRuns) return header;
    return header + L",session,detail";
}

std::optional<LogLayout> LogLayoutOf(const std::wstring& firstLine) {
    std::wstring line = firstLine;
    if (!line.empty() && line.front() == L'\xFEFF') line.erase(0, 1);
    while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n')) line.pop_back();
    for (LogLayout layout : {LogLayout::SixColumns, LogLayout::WithRuns, LogLayout::WithDetails})
        if (line == LogHeaderFor(layout)) return layout;
    return std::nullopt;
}

std::wstring FormatLogRow(const LogRow& row, LogLayout layout) {
    std::wstring line = CsvField(row.time) + L',' + CsvField(row.result) + L',' + CsvField(row.file) + L',' +
                        CsvField(row.error) + L',' + CsvField(row.source) + L',' + CsvField(row.description);
    if (layout == LogLayout::SixColumns) return line;
    line += L',' + CsvField(row.run) + L',' + CsvField(row.seconds) + L',' + CsvField(row.size) + L',' +
            CsvField(row.written);
    if (layout == LogLayout::WithRuns) return line;
    return line + L',' + CsvField(row.session) + L',' + CsvField(row.detail);
}

bool TellsAFate(const std::wstring& result) {
    for (const wchar_t* fate : {LogResult::Stored, LogResult::Failed, LogResult::NotReached, LogResult::InHand,
                                LogResult::SameFile, LogResult::Unreadable})
        if (result == fate) return true;
    return false;
}

std::wstring FormatDetail(const std::vector<DetailPart>& parts) {
    std::wstring detail;
    for (const DetailPart& part : parts) {
        if (!detail.empty()) detail += L" | ";
        std::wstring value = part.value;
        for (wchar_t& c : value)
            if (c == L'|') c = L'/';
        detail += part.name + L": " + value;
    }
    return detail;
}

void ForEachDetailPart(const std::wstring& detail,
                       const std::function<void(std::wstring_view name, std::wstring_view value)>& part) {
    const std::wstring_view text(detail);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(L" | ", at);
        if (end == std::wstring_view::npos) end = text.size();
        const std::wstring_view whole = text.substr(at, end - at);
        const size_t colon = whole.find(L": ");
        if (colon == std::wstring_view::npos)
            part(whole, std::wstring_view());
        else
            part(whole.substr(0, colon), whole.substr(colon + 2));
        at = end + 3;
    }
}

std::vector<DetailPart> ParseDetail(const std::wstring& detail) {
    std::vector<DetailPart> parts;
    ForEachDetailPart(detail, [&parts](std::wstring_view name, std::wstring_view value) {
        parts.push_back({std::wstring(name), std::wstring(value)});
    });
    return parts;
}

std::wstring DetailValue(const std::wstring& detail, const std::wstring& name) {
    for (const DetailPart& part : ParseDetail(detail))
        if (part.name == name) return part.value;
    return std::wstring();
}

std::wstring SecondsText(double seconds) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.3f", seconds < 0 ? 0.0 : seconds);
    return text;
}

CsvReader::CsvReader(const std::wstring& text, size_t from) : text_(text), at_(from) {}

bool CsvReader::Next(std::vector<std::wstring>& fields) {
    const size_t size = text_.size();
    if (at_ >= size) {
        fields.clear();
        return false;
    }
    // The strings of the last record are filled again: a log's rows are
    // many and alike, and their allocations were most of a read's time.
    size_t count = 0;
    const auto nextField = [&]() -> std::wstring& {
        if (count == fields.size()) fields.emplace_back();
        std::wstring& field = fields[count++];
        field.clear();
        return field;
    };
    std::wstring* field = &nextField();
    bool quoted = false;
    while (at_ < size) {
        if (quoted) {
            const size_t quote = text_.find(L'"', at_);
            const size_t end = quote == std::wstring::npos ? size : quote;
            field->append(text_, at_, end - at_);
            at_ = end;
            if (at_ == size) break;
            ++at_;
            if (at_ < size && text_[at_] == L'"') {
                *field += L'"';
                ++at_;
            } else {
                quoted = false;
            }
            continue;
        }
        size_t end = at_;
        while (end < size && text_[end] != L'"' && text_[end] != L',' && text_[end] != L'\r' && text_[end] != L'\n')
            ++end;
        field->append(text_, at_, end - at_);
        at_ = end;
        if (at_ == size) break;
        const wchar_t c = text_[at_++];
        if (c == L'"') {
            quoted = true;
        } else if (c == L',') {
            field = &nextField();
        } else {
            if (c == L'\r' && at_ < size && text_[at_] == L'\n') ++at_;
            break;
        }
    }
    fields.resize(count);
    return true;
}

size_t ColumnsOf(LogLayout layout) {
    switch (layout) {
        case LogLayout::SixColumns: return 6;
        case LogLayout::WithRuns: return 10;
        case LogLayout::WithDetails: break;
    }
    return 12;
}

LogRowReader::LogRowReader(const std::wstring& text, size_t from, LogLayout layout)
    : text_(text), csv_(text, from), columns_(ColumnsOf(layout)) {}

bool LogRowReader::Next(std::vector<std::wstring>& fields) {
    for (size_t rowStart = csv_.Offset(); csv_.Next(fields); rowStart = csv_.Offset()) {
        if (fields.size() == columns_) return true;
        if (!(fields.size() == 1 && fields[0].empty())) ++torn_;
        const size_t lineEnd = text_.find(L'\n', rowStart);
        if (lineEnd != std::wstring::npos && lineEnd + 1 < csv_.Offset()) csv_.Seek(lineEnd + 1);
    }
    return false;
}

}  // namespace kestrow
