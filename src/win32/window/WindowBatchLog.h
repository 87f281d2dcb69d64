#pragma once
// The window's batches recorded as a night's are: a log for each folder in
// Kestrow's data folder (%LOCALAPPDATA%\Kestrow\Window logs), its rows
// written as the drawings go, the pictures of Solid Edge's dialogs in a
// folder beside it, and the report's page made from it on request and
// opened in the user's browser. The logs of the last kMostLogs folders are
// kept, and a log that has grown past kMostLogBytes starts afresh at the
// next batch, so that years of batches take little room.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "files/RunLogFile.h"
#include "files/RunLogRows.h"
#include "form/BatchRecord.h"
#include "unattended/UnattendedRun.h"

namespace kestrow::win32 {

class WindowBatchLog : public BatchRecord {
public:
    static constexpr size_t kMostLogs = 30;
    static constexpr unsigned long long kMostLogBytes = 4ull * 1024 * 1024;
    // So many drawings of a batch are listed on its page one by one.
    static constexpr size_t kDraftsOnPage = 20000;

    // `openPage` shows a page to the user; without one, Windows opens it in
    // the browser the user chose for pages.
    explicit WindowBatchLog(std::function<void(const std::wstring& page)> openPage = {});
    ~WindowBatchLog() override;

    std::wstring Begin(const std::wstring& folder) override;
    BatchProgress& Progress() override { return *user_; }
    std::wstring End(const BatchResult& result) override;
    bool HasReport(const std::wstring& folder) override;
    void ShowReport(const std::wstring& folder) override;

    // Where the pictures of the dialogs of the batch in hand go, made when
    // first asked for; Kestrow's folder of dialogs when no batch is
    // recorded. Called from the sessions' threads.
    std::wstring PictureFolder();

private:
    // The log of `folder`; "" when Kestrow's data folder cannot be had.
    static std::wstring LogOf(const std::wstring& folder);

    std::function<void(const std::wstring&)> openPage_;
    std::unique_ptr<RunLogFile> file_;
    std::unique_ptr<RunLogRows> rows_;
    std::unique_ptr<UnattendedUser> user_;
    std::wstring folder_;
    std::chrono::steady_clock::time_point started_;
    std::mutex pictures_;
    std::wstring logPath_;  // of the batch in hand, under `pictures_`
};

}  // namespace kestrow::win32
