#include "unattended/DialogRows.h"

namespace kestrow {
namespace {

std::wstring Buttons(const CadDialog& dialog) {
    std::wstring joined;
    for (const std::wstring& button : dialog.buttons) joined += (joined.empty() ? L"" : L" / ") + button;
    return joined;
}

}  // namespace

std::wstring DialogLine(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) {
    return L"dialog  " + draft.name + L"  '" + dialog.title + (dialog.text.empty() ? L"" : L": " + dialog.text) +
           L"'  [" + Buttons(dialog) + L"]: " + action;
}

LogRow DialogLogRow(const std::wstring& time, const DraftRecord& draft, const CadDialog& dialog,
                    const std::wstring& action) {
    LogRow row;
    row.time = time;
    row.result = LogResult::Dialog;
    row.file = draft.path;
    row.source = dialog.title;
    row.description = dialog.text;
    if (draft.session > 0) row.session = std::to_wstring(draft.session);
    row.detail = FormatDetail({{L"buttons", Buttons(dialog)}, {L"action", action}, {L"picture", dialog.picture}});
    return row;
}

std::wstring DialogFolderBesideLog(const std::wstring& logPath) {
    const size_t slash = logPath.find_last_of(L"\\/");
    const size_t dot = logPath.rfind(L'.');
    const bool extension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash + 1);
    return (extension ? logPath.substr(0, dot) : logPath) + L"-dialogs";
}

}  // namespace kestrow
