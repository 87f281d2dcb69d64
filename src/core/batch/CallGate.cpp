#include "batch/CallGate.h"

#include "common/RuntimeError.h"

namespace kestrow {
namespace {

class GatedObject : public AutomationObject {
public:
    GatedObject(AutomationRef inner, CallGate& gate) : inner_(std::move(inner)), gate_(gate) {}
    AutomationRef QueryInterface(const std::wstring& iid) override {
        gate_.Pass();
        return Wrap(inner_->QueryInterface(iid));
    }
    AutomationResult Invoke(std::int32_t dispatchId, InvokeKind kind, std::vector<AutomationArg> args) override {
        gate_.Pass();
        AutomationResult result = inner_->Invoke(dispatchId, kind, std::move(args));
        result.object = Wrap(std::move(result.object));
        return result;
    }
    std::optional<std::int32_t> DispatchIdOf(const std::wstring& name) override {
        gate_.Pass();
        return inner_->DispatchIdOf(name);
    }
    AutomationRef Wrap(AutomationRef object) {
        if (!object) return object;
        return std::make_unique<GatedObject>(std::move(object), gate_);
    }

private:
    AutomationRef inner_;
    CallGate& gate_;
};

}  // namespace

void CallGate::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
}

void CallGate::Open() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = false;
    }
    changed_.notify_all();
}

void CallGate::ShutForGood() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shut_ = true;
    }
    changed_.notify_all();
}

bool CallGate::Shut() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shut_;
}

void CallGate::Pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return shut_ || !closed_; });
    if (shut_)
        throw RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource, L"Solid Edge was given up",
                           FailureKind::ServerAbandoned);
}

AutomationRef GatedFactory::CreateObject(const std::wstring& progId) {
    gate_.Pass();
    return std::make_unique<GatedObject>(inner_.CreateObject(progId), gate_);
}

}  // namespace kestrow
