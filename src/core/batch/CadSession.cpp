#include "batch/CadSession.h"

#include <utility>

#include "batch/AutomationContract.h"
#include "common/RuntimeError.h"

namespace kestrow {
namespace {

AutomationRef CastTo(AutomationResult&& result, const wchar_t* iid) {
    if (!result.object)
        throw RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource,
                           L"The automation server returned no object where one was expected");
    return result.object->QueryInterface(iid);
}

std::int32_t NumberOf(const AutomationResult& result) {
    if (!result.number)
        throw RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource,
                           L"The automation server returned no number where one was expected");
    return *result.number;
}

std::wstring TooManyViewsDescription(std::int32_t count) {
    return L"The drawing reports " + std::to_wstring(count) +
           L" views; at most 32767 views of one drawing can be updated.";
}

}  // namespace

void CadSession::ThrowIfAbandoned() const {
    if (abandoned_.load())
        throw RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource, L"The CAD system was given up",
                           FailureKind::ServerAbandoned);
}

void CadSession::Start() {
    ThrowIfAbandoned();
    AutomationRef created = factory_.CreateObject(contract::kProgId);
    ThrowIfAbandoned();
    seApp = created->QueryInterface(contract::kApplicationIid);
    created.reset();
    ThrowIfAbandoned();
    seApp->Invoke(contract::kAppPut59, InvokeKind::Put, {AutomationArg::Boolean(false)});
    ThrowIfAbandoned();
    seApp->Invoke(contract::kAppPut18, InvokeKind::Put, {AutomationArg::Boolean(false)});
}

DraftOutcome CadSession::UpdateDraft(std::wstring& filePath, const std::atomic<bool>& stop) {
    // A stop that came while the server was starting: no draft is opened.
    if (stop.load()) return DraftOutcome::Stopped;
    AutomationRef views;
    try {
        ThrowIfAbandoned();
        AutomationRef documents =
            CastTo(seApp->Invoke(contract::kAppDocuments, InvokeKind::Get, {}), contract::kDocumentsIid);
        ThrowIfAbandoned();
        seDoc = CastTo(
            documents->Invoke(contract::kDocumentsOpen, InvokeKind::Get, {AutomationArg::StringByRef(filePath)}),
            contract::kDocumentIid);
        documents.reset();

        ThrowIfAbandoned();
        views = CastTo(seDoc->Invoke(contract::kDocumentViews, InvokeKind::Get, {}), contract::kViewsIid);
        ThrowIfAbandoned();
        const std::int32_t reported = NumberOf(views->Invoke(contract::kViewsCount, InvokeKind::Get, {}));
        if (!std::in_range<std::int16_t>(reported))
            throw RuntimeError(ErrorNumber::Overflow, kProgramSource, TooManyViewsDescription(reported));
        const auto viewCount = static_cast<std::int16_t>(reported);

        // 32 bits, so that a count of exactly 32767 does not overflow on
        // the last increment.
        for (std::int32_t i = 1; i <= viewCount; ++i) {
            if (stop.load()) {
                views.reset();
                CloseWithoutStoring();
                return DraftOutcome::Stopped;
            }
            ThrowIfAbandoned();
            AutomationRef view = CastTo(
                views->Invoke(contract::kViewsItem, InvokeKind::Get, {AutomationArg::Int16(static_cast<std::int16_t>(i))}),
                contract::kViewIid);
            ThrowIfAbandoned();
            view->Invoke(contract::kViewUpdate, InvokeKind::Call, {});
        }
        views.reset();
        ThrowIfAbandoned();
        seDoc->Invoke(contract::kDocumentClose, InvokeKind::Call, {AutomationArg::Boolean(true)});
        seDoc.reset();
        return DraftOutcome::Stored;
    } catch (const RuntimeError& error) {
        views.reset();
        if (!error.ServerLost()) CloseWithoutStoring();
        seDoc.reset();
        throw;
    } catch (...) {
        // Kestrow's own failure: the draft is still let go unstored.
        views.reset();
        CloseWithoutStoring();
        throw;
    }
}

void CadSession::CloseWithoutStoring() noexcept {
    if (!seDoc || abandoned_.load()) return;
    try {
        seDoc->Invoke(contract::kDocumentClose, InvokeKind::Call, {AutomationArg::Boolean(false)});
    } catch (...) {
        // The draft's own failure is what the user hears about; a server
        // that cannot even let the draft go shows up at the next call.
    }
    seDoc.reset();
}

void CadSession::Quit() noexcept {
    if (seApp && !abandoned_.load()) {
        try {
            seApp->Invoke(contract::kAppQuit, InvokeKind::Call, {});
        } catch (...) {
        }
    }
    seDoc.reset();
    seApp.reset();
}

}  // namespace kestrow
