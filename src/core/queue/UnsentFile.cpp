#include "queue/UnsentFile.h"

#include "unattended/UnattendedRun.h"

namespace kestrow {
namespace {

constexpr size_t kFields = 21;

const wchar_t* KindName(Unsent kind) {
    switch (kind) {
        case Unsent::Row: return L"row";
        case Unsent::StoredFate: return L"stored";
        case Unsent::FailedFate: return L"failed";
        case Unsent::Release: return L"release";
        case Unsent::Renewal: break;
    }
    return L"renewal";
}

std::optional<Unsent> KindNamed(const std::wstring& name) {
    for (const Unsent kind : {Unsent::Row, Unsent::StoredFate, Unsent::FailedFate, Unsent::Release})
        if (name == KindName(kind)) return kind;
    return std::nullopt;
}

std::int64_t Whole(const std::wstring& text) { return SqlNumber(text).value_or(0); }

}  // namespace

std::wstring FormatUnsent(const std::vector<UnsentItem>& items) {
    std::wstring text;
    for (const UnsentItem& item : items) {
        const LogRow& r = item.row.row;
        const std::wstring fields[kFields] = {
            KindName(item.kind), std::to_wstring(item.night), std::to_wstring(item.number), item.holder, item.error,
            item.untried ? L"1" : L"0", item.row.computer, item.row.sender, std::to_wstring(item.row.seq), r.time,
            r.result, r.file, r.error, r.source, r.description, r.run, r.seconds, r.size, r.written, r.session,
            r.detail};
        for (size_t i = 0; i < kFields; ++i) text += (i > 0 ? L"," : L"") + CsvField(fields[i]);
        text += L"\r\n";
    }
    return text;
}

std::vector<UnsentItem> ParseUnsent(const std::wstring& text) {
    std::vector<UnsentItem> items;
    CsvReader reader(text);
    std::vector<std::wstring> f;
    while (reader.Next(f)) {
        const std::optional<Unsent> kind = f.size() == kFields ? KindNamed(f[0]) : std::nullopt;
        if (!kind) continue;
        UnsentItem item;
        item.kind = *kind;
        item.night = Whole(f[1]);
        item.number = static_cast<std::int32_t>(Whole(f[2]));
        item.holder = f[3];
        item.error = f[4];
        item.untried = f[5] == L"1";
        item.row.computer = f[6];
        item.row.sender = f[7];
        item.row.seq = static_cast<std::int32_t>(Whole(f[8]));
        item.row.row = LogRow{f[9], f[10], f[11], f[12], f[13], f[14], f[15], f[16], f[17], f[18], f[19], f[20]};
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace kestrow
