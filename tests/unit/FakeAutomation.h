#pragma once
// An automation server in memory that records every call as one line of
// text ("<interface> <kind> <dispid> <args>") and can be told to fail, and
// a launcher that runs its sessions inline.
#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "server/Automation.h"
#include "batch/CadSession.h"
#include "batch/DraftBatch.h"
#include "common/RuntimeError.h"

namespace kestrow::testing {

struct FakeServer {
    std::vector<std::wstring> journal;
    std::map<std::wstring, std::int32_t> viewCounts;  // by path; 2 views otherwise
    // A call whose journal line starts with a key fails with the error
    // given, that many times (-1: always). An error that loses the server
    // (gone, abandoned) leaves that server instance dead.
    struct Fault {
        RuntimeError error;
        int times;
    };
    std::map<std::wstring, Fault> faults;
    bool createFails = false;
    std::optional<SessionLetGo> inTheWay;
    std::optional<SessionLetGo> letGo;  // what a start that raises ForeignServer says
    int applicationsCreated = 0;
    int liveObjects = 0;
    int callsToLostServers = 0;
    std::set<int> lostInstances;
    std::set<std::wstring> stored;
    std::function<void(const std::wstring&)> onCall;  // sees each line before it runs
    // Runs as each draft's step begins, with the step's watch: as the
    // platform's watch over the call does while it is pending.
    std::function<void(CallWatch&)> duringStep;
    // Members known by name, on every object: name -> dispatch id.
    std::map<std::wstring, std::int32_t> names;
    // What a get of a member the contract does not know answers: dispatch id -> number.
    std::map<std::int32_t, std::int32_t> numbers;
    // The memory the server reports using, when set.
    std::function<std::optional<std::uint64_t>()> memory;

    void Fail(const std::wstring& prefix, RuntimeError error, int times = 1) {
        faults.insert_or_assign(prefix, Fault{std::move(error), times});
    }
    void Record(int instance, const std::wstring& line);
};

class FakeObject : public AutomationObject {
public:
    FakeObject(FakeServer& server, int instance, std::wstring kind, std::wstring path = L"")
        : server_(server), instance_(instance), kind_(std::move(kind)), path_(std::move(path)) {
        ++server_.liveObjects;
    }
    ~FakeObject() override { --server_.liveObjects; }

    AutomationRef QueryInterface(const std::wstring& iid) override;
    AutomationResult Invoke(std::int32_t dispatchId, InvokeKind kind, std::vector<AutomationArg> args) override;
    std::optional<std::int32_t> DispatchIdOf(const std::wstring& name) override;

private:
    FakeServer& server_;
    int instance_;
    std::wstring kind_;  // app, docs, doc, views, view, or "raw-..." before the first cast
    std::wstring path_;
};

class FakeFactory : public AutomationFactory {
public:
    explicit FakeFactory(FakeServer& server) : server_(server) {}
    AutomationRef CreateObject(const std::wstring& progId) override;

private:
    FakeServer& server_;
};

// Sessions of the fake server, run on the calling thread.
class InlineLauncher : public ServerLauncher {
public:
    explicit InlineLauncher(FakeServer& server) : server_(server), factory_(server) {}
    std::optional<SessionLetGo> CadSystemInTheWay() override { return server_.inTheWay; }
    std::unique_ptr<ServerConnection> Launch() override;

private:
    FakeServer& server_;
    FakeFactory factory_;
};

}  // namespace kestrow::testing
