#pragma once
// An automation server in memory that records every call as one line of
// text ("<interface> <kind> <dispid> <args>") and can be told to fail.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Automation.h"
#include "RuntimeError.h"

namespace kestrow::testing {

struct FakeServer {
    std::vector<std::wstring> journal;
    std::map<std::wstring, std::int32_t> viewCounts;  // by path; 2 views otherwise
    // A call whose journal line starts with a key fails with the error
    // given, that many times (-1: always).
    struct Fault {
        RuntimeError error;
        int times;
    };
    std::map<std::wstring, Fault> faults;
    bool createFails = false;
    int applicationsCreated = 0;
    int liveObjects = 0;
    std::set<std::wstring> stored;
    std::function<void(const std::wstring&)> onCall;  // sees each line before it runs

    void Record(const std::wstring& line);
};

class FakeObject : public AutomationObject {
public:
    FakeObject(FakeServer& server, std::wstring kind, std::wstring path = L"")
        : server_(server), kind_(std::move(kind)), path_(std::move(path)) {
        ++server_.liveObjects;
    }
    ~FakeObject() override { --server_.liveObjects; }

    AutomationRef QueryInterface(const std::wstring& iid) override;
    AutomationResult Invoke(std::int32_t dispatchId, InvokeKind kind, std::vector<AutomationArg> args) override;

private:
    FakeServer& server_;
    std::wstring kind_;  // app, docs, doc, views, view, or "raw" before the first cast
    std::wstring path_;
};

class FakeFactory : public AutomationFactory {
public:
    explicit FakeFactory(FakeServer& server) : server_(server) {}
    AutomationRef CreateObject(const std::wstring& progId) override;

private:
    FakeServer& server_;
};

}  // namespace kestrow::testing
