#include "server/ObservedAutomation.h"

namespace kestrow {
namespace {

// Started on construction, ended on every way out.
class ObservedCall {
public:
    explicit ObservedCall(CallObserver& observer) : observer_(observer) { observer_.CallStarted(); }
    ObservedCall(CallObserver& observer, ObservedCallKind kind) : observer_(observer) {
        observer_.Other(kind);
        observer_.CallStarted();
    }
    ~ObservedCall() { observer_.CallEnded(); }
    ObservedCall(const ObservedCall&) = delete;
    ObservedCall& operator=(const ObservedCall&) = delete;

private:
    CallObserver& observer_;
};

class ObservedObject : public AutomationObject {
public:
    ObservedObject(AutomationRef inner, CallObserver& observer) : inner_(std::move(inner)), observer_(observer) {}
    ~ObservedObject() override {
        ObservedCall call(observer_, ObservedCallKind::Release);
        inner_.reset();
    }
    AutomationRef QueryInterface(const std::wstring& iid) override {
        AutomationRef cast;
        {
            ObservedCall call(observer_, ObservedCallKind::Cast);
            cast = inner_->QueryInterface(iid);
        }
        return Wrap(std::move(cast));
    }
    AutomationResult Invoke(std::int32_t dispatchId, InvokeKind kind, std::vector<AutomationArg> args) override {
        AutomationResult result;
        observer_.Invoking(dispatchId, kind, args);
        {
            ObservedCall call(observer_);
            result = inner_->Invoke(dispatchId, kind, std::move(args));
        }
        result.object = Wrap(std::move(result.object));
        return result;
    }
    std::optional<std::int32_t> DispatchIdOf(const std::wstring& name) override {
        ObservedCall call(observer_, ObservedCallKind::LookUp);
        return inner_->DispatchIdOf(name);
    }
    AutomationRef Wrap(AutomationRef object) {
        if (!object) return object;
        return std::make_unique<ObservedObject>(std::move(object), observer_);
    }

private:
    AutomationRef inner_;
    CallObserver& observer_;
};

}  // namespace

AutomationRef ObservedFactory::CreateObject(const std::wstring& progId) {
    AutomationRef created;
    {
        ObservedCall call(observer_, ObservedCallKind::Creation);
        created = inner_.CreateObject(progId);
    }
    return std::make_unique<ObservedObject>(std::move(created), observer_);
}

}  // namespace kestrow
