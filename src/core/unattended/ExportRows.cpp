#include "unattended/ExportRows.h"

#include "common/LongPath.h"

namespace kestrow {
namespace {

// Failed exports the summary names; the log and the lines name every one.
constexpr int kSummaryNames = 10;

bool Exported(const DraftExport& made) { return made.state == DraftExport::State::Exported; }

}  // namespace

std::wstring ExportLine(const DraftRecord& draft, const DraftExport& made) {
    std::wstring line = std::wstring(Exported(made) ? LogResult::Exported : LogResult::ExportFailed) + L"  " +
                        draft.name + L"  as " + ExportFormatName(made.format) + L": " + OrdinaryPath(made.target);
    if (!Exported(made) && made.error) line += L"  (" + DescribeError(*made.error) + L")";
    return line;
}

LogRow ExportLogRow(const std::wstring& time, const DraftRecord& draft, const DraftExport& made) {
    LogRow row;
    row.time = time;
    row.file = draft.path;
    if (draft.session > 0) row.session = std::to_wstring(draft.session);
    std::vector<DetailPart> detail{{L"to", OrdinaryPath(made.target)}, {L"format", ExportFormatName(made.format)}};
    if (Exported(made)) {
        row.result = LogResult::Exported;
        detail.push_back({L"size", std::to_wstring(made.size)});
    } else {
        row.result = LogResult::ExportFailed;
        if (made.error) {
            row.error = std::to_wstring(made.error->Number());
            row.source = made.error->Source();
            row.description = made.error->Description();
        }
    }
    row.detail = FormatDetail(detail);
    return row;
}

std::wstring ExportSummary(const BatchResult& result) {
    std::int32_t asked = 0;
    std::wstring failed;
    int named = 0;
    for (const DraftRecord& draft : result.drafts)
        for (const DraftExport& made : draft.exports) {
            ++asked;
            if (Exported(made)) continue;
            if (named++ < kSummaryNames)
                failed += (failed.empty() ? L"" : L", ") + draft.name + L" as " + ExportFormatName(made.format);
        }
    if (asked == 0) return std::wstring();
    if (named > kSummaryNames) failed += L" and " + std::to_wstring(named - kSummaryNames) + L" more";
    return L" Exported " + std::to_wstring(asked - named) + L" of " + std::to_wstring(asked) + L" files" +
           (failed.empty() ? L"" : L"; failed: " + failed) + L".";
}

}  // namespace kestrow
