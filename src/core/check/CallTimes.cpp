#include "check/CallTimes.h"

#include "server/AutomationContract.h"
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

// Known by the shape of the invocation: the same identifier means another
// thing on another object (6 opens on the collection and closes a document).
DraftStep StepOf(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) {
    using Type = AutomationArg::Type;
    const bool one = args.size() == 1;
    // By the arguments first: the one call with a string by value is SaveAs,
    // whose identifier the contract does not fix.
    if (kind == InvokeKind::Call && one && args[0].type == Type::String) return DraftStep::SaveAs;
    if (kind == InvokeKind::Put && one && args[0].type == Type::Boolean &&
        (dispatchId == contract::kAppPut59 || dispatchId == contract::kAppPut18))
        return DraftStep::Settings;
    if (kind == InvokeKind::Get && one && args[0].type == Type::StringByRef && dispatchId == contract::kDocumentsOpen)
        return DraftStep::Open;
    if (kind == InvokeKind::Get && one && args[0].type == Type::Int16 && dispatchId == contract::kViewsItem)
        return DraftStep::View;
    if (kind == InvokeKind::Call && one && args[0].type == Type::Boolean && dispatchId == contract::kDocumentClose)
        return args[0].boolean ? DraftStep::Store : DraftStep::CloseUnstored;
    if (!args.empty()) return DraftStep::OtherInvocation;
    if (kind == InvokeKind::Get && dispatchId == contract::kAppDocuments) return DraftStep::Documents;
    if (kind == InvokeKind::Get && dispatchId == contract::kDocumentViews) return DraftStep::Views;
    if (kind == InvokeKind::Get && dispatchId == contract::kViewsCount) return DraftStep::ViewCount;
    if (kind == InvokeKind::Call && dispatchId == contract::kViewUpdate) return DraftStep::UpdateView;
    if (kind == InvokeKind::Call && dispatchId == contract::kAppQuit) return DraftStep::Quit;
    return DraftStep::OtherInvocation;
}

}  // namespace

TimedCall NameOfCall(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) {
    const DraftStep step = StepOf(dispatchId, kind, args);
    TimedCall call = Call(step, step == DraftStep::SaveAs ? ExtensionOf(args[0].value) : std::wstring());
    call.dispatchId = dispatchId;
    return call;
}

std::wstring CallName(const TimedCall& call) {
    switch (call.step) {
        case DraftStep::Settings: return L"the setting " + std::to_wstring(call.dispatchId);
        case DraftStep::Documents: return L"the document collection";
        case DraftStep::Open: return L"the open";
        case DraftStep::Views: return L"the view collection";
        case DraftStep::ViewCount: return L"the number of views";
        case DraftStep::View: return L"a view";
        case DraftStep::UpdateView: return L"a view's update";
        case DraftStep::SaveAs: return L"the save as " + call.format;
        case DraftStep::Store: return L"the store";
        case DraftStep::CloseUnstored: return L"the close";
        case DraftStep::Quit: return L"the quit";
        case DraftStep::OtherInvocation: return L"the call " + std::to_wstring(call.dispatchId);
        case DraftStep::Activation: return L"the activation";
        case DraftStep::Cast: return L"a cast of an object";
        case DraftStep::LookUp: return L"a look-up of a name";
        case DraftStep::Release: return L"a release of an object";
    }
    return std::wstring();
}

bool Housekeeping(const TimedCall& call) {
    return call.step == DraftStep::Cast || call.step == DraftStep::LookUp || call.step == DraftStep::Release;
}

void CallTimes::Invoking(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) {
    const std::lock_guard<std::mutex> lock(mutex_);
    named_ = NameOfCall(dispatchId, kind, args);
}

void CallTimes::Other(ObservedCallKind kind) {
    const std::lock_guard<std::mutex> lock(mutex_);
    switch (kind) {
        case ObservedCallKind::Creation: named_ = Call(DraftStep::Activation); break;
        case ObservedCallKind::Cast: named_ = Call(DraftStep::Cast); break;
        case ObservedCallKind::LookUp: named_ = Call(DraftStep::LookUp); break;
        case ObservedCallKind::Release: named_ = Call(DraftStep::Release); break;
    }
}

void CallTimes::CallStarted() {
    const std::lock_guard<std::mutex> lock(mutex_);
    // Calls follow one another on a session's thread, each told first.
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
