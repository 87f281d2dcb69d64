#include "FakeAutomation.h"

#include "server/AutomationContract.h"

namespace kestrow::testing {
namespace {

std::wstring KindName(InvokeKind kind) {
    switch (kind) {
        case InvokeKind::Put: return L"put";
        case InvokeKind::Get: return L"get";
        case InvokeKind::Call: return L"call";
    }
    return L"?";
}

std::wstring ArgText(const AutomationArg& arg) {
    switch (arg.type) {
        case AutomationArg::Type::Boolean: return arg.boolean ? L"bool:true" : L"bool:false";
        case AutomationArg::Type::Int16: return L"i2:" + std::to_wstring(arg.int16);
        case AutomationArg::Type::StringByRef: return L"bstrref:" + *arg.text;
        case AutomationArg::Type::String: return L"bstr:" + arg.value;
    }
    return L"?";
}

class InlineConnection : public ServerConnection {
public:
    InlineConnection(FakeServer& server, AutomationFactory& factory) : server_(server), session_(factory, abandoned_) {}
    void Start(std::shared_ptr<const std::atomic<bool>>, CallWatch&) override { session_.Start(); }
    DraftOutcome UpdateDraft(const std::wstring& filePath, std::vector<DraftExport>& exports,
                             std::shared_ptr<const std::atomic<bool>> stop, std::shared_ptr<const StoreGuard> guard,
                             CallWatch& watch) override {
        if (server_.duringStep) server_.duringStep(watch);
        std::wstring path = filePath;
        return session_.UpdateDraft(path, exports, *stop, guard.get());
    }
    void Quit(CallWatch&) noexcept override { session_.Quit(); }
    std::optional<SessionLetGo> LetGoReason() override { return server_.letGo; }
    std::optional<std::uint64_t> MemoryBytes() override {
        return server_.memory ? server_.memory() : std::nullopt;
    }

private:
    FakeServer& server_;
    std::atomic<bool> abandoned_{false};
    CadSession session_;
};

}  // namespace

void FakeServer::Record(int instance, const std::wstring& line) {
    if (lostInstances.count(instance)) {
        ++callsToLostServers;
        throw RuntimeError(static_cast<std::int32_t>(0x800706BAu), L"", L"The RPC server is unavailable.",
                           FailureKind::ServerGone);
    }
    journal.push_back(line);
    if (onCall) onCall(line);
    for (auto& [prefix, fault] : faults) {
        if (line.rfind(prefix, 0) != 0 || fault.times == 0) continue;
        if (fault.times > 0) --fault.times;
        if (fault.error.ServerLost()) lostInstances.insert(instance);
        throw fault.error;
    }
}

AutomationRef FakeFactory::CreateObject(const std::wstring& progId) {
    const int instance = server_.applicationsCreated + 1;
    server_.Record(instance, L"create " + progId);
    if (server_.createFails)
        throw RuntimeError(ErrorNumber::CannotCreateObject, L"Kestrow", L"ActiveX component can't create object");
    ++server_.applicationsCreated;
    return std::make_unique<FakeObject>(server_, instance, L"raw-app");
}

AutomationRef FakeObject::QueryInterface(const std::wstring& iid) {
    static const std::map<std::wstring, std::wstring> kinds = {
        {contract::kApplicationIid, L"app"}, {contract::kDocumentsIid, L"docs"}, {contract::kDocumentIid, L"doc"},
        {contract::kViewsIid, L"views"},     {contract::kViewIid, L"view"}};
    const auto it = kinds.find(iid);
    const std::wstring wanted = it == kinds.end() ? L"?" : it->second;
    server_.Record(instance_, L"qi " + wanted);
    // Only the raw form of the same object answers for its own interface.
    if (kind_ != wanted && kind_ != L"raw-" + wanted)
        throw RuntimeError(static_cast<long>(0x80004002L), L"Kestrow", L"No such interface supported");
    return std::make_unique<FakeObject>(server_, instance_, wanted, path_);
}

AutomationResult FakeObject::Invoke(std::int32_t dispatchId, InvokeKind kind, std::vector<AutomationArg> args) {
    std::wstring line = kind_ + L" " + KindName(kind) + L" " + std::to_wstring(dispatchId);
    for (const auto& arg : args) line += L" " + ArgText(arg);
    server_.Record(instance_, line);

    AutomationResult result;
    if (kind_ == L"app" && dispatchId == contract::kAppDocuments)
        result.object = std::make_unique<FakeObject>(server_, instance_, L"raw-docs");
    else if (kind_ == L"docs" && dispatchId == contract::kDocumentsOpen)
        result.object = std::make_unique<FakeObject>(server_, instance_, L"raw-doc", *args.at(0).text);
    else if (kind_ == L"doc" && dispatchId == contract::kDocumentViews)
        result.object = std::make_unique<FakeObject>(server_, instance_, L"raw-views", path_);
    else if (kind_ == L"views" && dispatchId == contract::kViewsCount) {
        const auto it = server_.viewCounts.find(path_);
        result.number = it == server_.viewCounts.end() ? 2 : it->second;
    } else if (kind_ == L"views" && dispatchId == contract::kViewsItem)
        result.object = std::make_unique<FakeObject>(server_, instance_, L"raw-view", path_);
    else if (kind_ == L"doc" && dispatchId == contract::kDocumentClose && args.at(0).boolean)
        server_.stored.insert(path_);
    else if (const auto number = server_.numbers.find(dispatchId);
             kind == InvokeKind::Get && number != server_.numbers.end())
        result.number = number->second;
    return result;
}

std::optional<std::int32_t> FakeObject::DispatchIdOf(const std::wstring& name) {
    server_.Record(instance_, kind_ + L" name " + name);
    const auto it = server_.names.find(name);
    if (it == server_.names.end()) return std::nullopt;
    return it->second;
}

std::unique_ptr<ServerConnection> InlineLauncher::Launch() { return std::make_unique<InlineConnection>(server_, factory_); }

}  // namespace kestrow::testing
