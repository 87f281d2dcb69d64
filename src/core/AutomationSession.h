#pragma once
#include <functional>

#include "Automation.h"

namespace kestrow {

// Owns one batch's use of the automation server: however the batch ends,
// the server is told to end its work (unless it was abandoned) and the
// application and document references are released.
class AutomationSession {
public:
    AutomationSession(AutomationRef& application, AutomationRef& document, std::function<bool()> abandoned)
        : application_(application), document_(document), abandoned_(std::move(abandoned)) {}
    AutomationSession(const AutomationSession&) = delete;
    AutomationSession& operator=(const AutomationSession&) = delete;
    ~AutomationSession() { End(); }

    void End() noexcept;

private:
    AutomationRef& application_;
    AutomationRef& document_;
    std::function<bool()> abandoned_;
    bool ended_ = false;
};

}  // namespace kestrow
