#pragma once
// One session of the CAD system's automation server: the contract's calls,
// in the contract's order, with the contract's argument types. It runs
// wherever its server's references live and knows nothing of threads; the
// flags it is given are read between calls.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include <vector>

#include "server/Automation.h"
#include "batch/StoreGuard.h"
#include "exports/DraftExports.h"

namespace kestrow {

enum class DraftOutcome {
    Stored,   // every view updated, stored and closed
    Stopped,  // a stop came first: closed without storing, nothing changed on disk
};

class CadSession {
public:
    // `abandoned`, once set, means the server was given up: no further call
    // of the contract is made, whatever happens.
    CadSession(AutomationFactory& factory, const std::atomic<bool>& abandoned)
        : factory_(factory), abandoned_(abandoned) {}
    CadSession(const CadSession&) = delete;
    CadSession& operator=(const CadSession&) = delete;
    ~CadSession() = default;  // the references release themselves

    // Creates the application object and puts False into 59 and 18.
    void Start();

    // Opens one draft, updates each of its views, has it saved as each of
    // `exports` still to make (to its temporary file), and stores it. Once
    // `stop` is set, no further view is updated nor export made: the draft
    // is closed as it stands, stored only when every view was already done
    // (or not opened at all, if the stop came first). An export that fails
    // fails alone; the draft is still stored. A draft whose processing
    // fails is closed without storing while its server is still there, so
    // that it is neither left open nor locked; then the error goes on.
    // `guard`, when given, is asked before each view, each export and the
    // store: once it refuses, the draft is closed without storing and a
    // LeaseLost error goes on.
    DraftOutcome UpdateDraft(std::wstring& filePath, std::vector<DraftExport>& exports, const std::atomic<bool>& stop,
                             const StoreGuard* guard = nullptr);

    // Tells the server to end its work (40). Never raises: a server that
    // cannot take the last call has nobody left to report to.
    void Quit() noexcept;

    // State fields of the session, named as the window's once were.
    AutomationRef seApp;
    AutomationRef seDoc;

private:
    void ThrowIfAbandoned() const;
    static void ThrowIfNotOurs(const StoreGuard* guard);
    void CloseWithoutStoring() noexcept;
    void SaveExports(std::vector<DraftExport>& exports, const std::atomic<bool>& stop, const StoreGuard* guard);

    // SaveAs has no dispatch identifier in the contract: it is looked up by
    // name once a session, on its first document.
    std::optional<std::optional<std::int32_t>> saveAs_;

    AutomationFactory& factory_;
    const std::atomic<bool>& abandoned_;
};

}  // namespace kestrow
