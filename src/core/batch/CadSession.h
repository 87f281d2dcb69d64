#pragma once
// One session of the CAD system's automation server: the contract's calls,
// in the contract's order, with the contract's argument types. It runs
// wherever its server's references live and knows nothing of threads; the
// flags it is given are read between calls.
#include <atomic>
#include <cstdint>
#include <string>

#include "batch/Automation.h"

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

    // Opens one draft, updates each of its views and stores it. Once `stop`
    // is set, no further view is updated: the draft is closed as it stands,
    // stored only when every view was already done (or not opened at all, if
    // the stop came first). A draft whose processing
    // fails is closed without storing while its server is still there, so
    // that it is neither left open nor locked; then the error goes on.
    DraftOutcome UpdateDraft(std::wstring& filePath, const std::atomic<bool>& stop);

    // Tells the server to end its work (40). Never raises: a server that
    // cannot take the last call has nobody left to report to.
    void Quit() noexcept;

    // State fields of the session, named as the window's once were.
    AutomationRef seApp;
    AutomationRef seDoc;

private:
    void ThrowIfAbandoned() const;
    void CloseWithoutStoring() noexcept;

    AutomationFactory& factory_;
    const std::atomic<bool>& abandoned_;
};

}  // namespace kestrow
