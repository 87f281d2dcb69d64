#include "check/CallTimes.h"

#include "batch/AutomationContract.h"
#include "common/LongPath.h"

namespace kestrow {
namespace {

TimedCall Call(DraftStep step, std::wstring format = std::wstring()) {
    TimedCall call;
    call.step = step;
    call.format = std::move(format);
    return call;
}

double SecondsSince(CallTimes::Clock::time_point since) {
    return std::chrono::duration<double>(CallTimes::Clock::now() - since).count();
}

// "C:\T\a.kestrow-1-2-3.pdf" -> "pdf": the CAD system picks the format from it.
std::wstring ExtensionOf(const std::wstring& path) {
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || path.find_first_of(L"\\/", dot) != std::wstring::npos) return std::wstring();
    return FoldedPath(path.substr(dot + 1));
}

}  // namespace

std::optional<TimedCall> NameOfCall(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) {
    // By the arguments first: the one call with a string by value is SaveAs,
    // whose identifier the contract does not fix.
    if (kind == InvokeKind::Call && args.size() == 1 && args[0].type == AutomationArg::Type::String)
        return Call(DraftStep::SaveAs, ExtensionOf(args[0].value));
    if (kind == InvokeKind::Get && dispatchId == contract::kDocumentsOpen && args.size() == 1 &&
        args[0].type == AutomationArg::Type::StringByRef)
        return Call(DraftStep::Open);
    if (kind == InvokeKind::Call && dispatchId == contract::kDocumentClose && args.size() == 1 &&
        args[0].type == AutomationArg::Type::Boolean)
        return Call(args[0].boolean ? DraftStep::Store : DraftStep::CloseUnstored);
    if (kind == InvokeKind::Call && args.empty() && dispatchId == contract::kViewUpdate)
        return Call(DraftStep::UpdateView);
    if (kind == InvokeKind::Call && args.empty() && dispatchId == contract::kAppQuit) return Call(DraftStep::Quit);
    return std::nullopt;
}

void CallTimes::Invoking(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) {
    const std::lock_guard<std::mutex> lock(mutex_);
    named_ = NameOfCall(dispatchId, kind, args);
}

void CallTimes::CallStarted() {
    const std::lock_guard<std::mutex> lock(mutex_);
    // Calls follow one another on a session's thread: an unnamed one (a
    // cast, a release) never starts while a named one is pending.
    if (!named_) return;
    calls_.push_back(*named_);
    named_.reset();
    pendingSince_ = Clock::now();
}

void CallTimes::CallEnded() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!pendingSince_ || calls_.empty()) return;
    calls_.back().seconds = SecondsSince(*pendingSince_);
    pendingSince_.reset();
}

std::vector<TimedCall> CallTimes::Take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (pendingSince_ && !calls_.empty()) {
        calls_.back().seconds = SecondsSince(*pendingSince_);
        calls_.back().answered = false;
    }
    // A call left pending belongs to a session given up: whatever it says
    // when it wakes is nobody's.
    pendingSince_.reset();
    named_.reset();
    std::vector<TimedCall> taken;
    taken.swap(calls_);
    return taken;
}

}  // namespace kestrow
