#include "batch/CadSession.h"

#include <utility>

#include "server/AutomationContract.h"
#include "common/LongPath.h"
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
        throw RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource, L"Solid Edge was given up",
                           FailureKind::ServerAbandoned);
}

void CadSession::ThrowIfNotOurs(const StoreGuard* guard) {
    if (guard && !guard->MayStore()) throw LeaseLostError(*guard);
}

RuntimeError LeaseLostError(const StoreGuard& guard) {
    return RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource,
                        L"The drawing was closed without storing: " + guard.WhyNot(), FailureKind::LeaseLost);
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

DraftOutcome CadSession::UpdateDraft(std::wstring& filePath, std::vector<DraftExport>& exports,
                                     const std::atomic<bool>& stop, const StoreGuard* guard) {
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
            ThrowIfNotOurs(guard);
            ThrowIfAbandoned();
            AutomationRef view = CastTo(
                views->Invoke(contract::kViewsItem, InvokeKind::Get, {AutomationArg::Int16(static_cast<std::int16_t>(i))}),
                contract::kViewIid);
            ThrowIfAbandoned();
            view->Invoke(contract::kViewUpdate, InvokeKind::Call, {});
        }
        views.reset();
        // After every view, before the store: the store also lets the
        // document go, so nothing can follow it.
        SaveExports(exports, stop, guard);
        // The last moment a lease that lapsed can keep the store from
        // writing over another computer's work.
        ThrowIfNotOurs(guard);
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

void CadSession::SaveExports(std::vector<DraftExport>& exports, const std::atomic<bool>& stop,
                             const StoreGuard* guard) {
    for (DraftExport& made : exports) {
        if (made.state != DraftExport::State::ToMake) continue;
        if (stop.load()) {
            made.Fail(ExportNotMadeAsStopped());
            continue;
        }
        // A draft that is no longer this run's fails whole, not export by export.
        ThrowIfNotOurs(guard);
        try {
            ThrowIfAbandoned();
            if (!saveAs_) saveAs_ = seDoc->DispatchIdOf(L"SaveAs");
            if (!*saveAs_) {
                made.Fail(NoSaveAsCall(made.format));
                continue;
            }
            ThrowIfAbandoned();
            // The CAD system picks the format from the extension, which the
            // temporary name keeps.
            seDoc->Invoke(**saveAs_, InvokeKind::Call, {AutomationArg::String(ExtendedLengthPath(made.temporary))});
            made.state = DraftExport::State::Made;
        } catch (const RuntimeError& error) {
            // A lost server fails the draft; anything else only the export.
            if (error.ServerLost()) throw;
            made.Fail(error);
        }
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
