#pragma once
// Automation objects as the batch update sees them: created from a ProgID,
// cast to an interface identifier, and invoked by dispatch identifier with
// typed arguments. Each object owns one reference and releases it when
// destroyed. Failures raise RuntimeError.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

enum class InvokeKind { Put, Get, Call };

struct AutomationArg {
    enum class Type { Boolean, Int16, StringByRef, String };
    Type type;
    bool boolean = false;
    std::int16_t int16 = 0;
    std::wstring* text = nullptr;  // by reference: the callee may change it
    std::wstring value{};          // a string passed by value

    static AutomationArg Boolean(bool value) { return {Type::Boolean, value, 0, nullptr}; }
    static AutomationArg Int16(std::int16_t value) { return {Type::Int16, false, value, nullptr}; }
    static AutomationArg StringByRef(std::wstring& value) { return {Type::StringByRef, false, 0, &value}; }
    static AutomationArg String(std::wstring value) { return {Type::String, false, 0, nullptr, std::move(value)}; }
};

class AutomationObject;
using AutomationRef = std::unique_ptr<AutomationObject>;

// What a Get returns: an object, a number already converted to 32 bits, or
// nothing.
struct AutomationResult {
    AutomationRef object;
    std::optional<std::int32_t> number;
};

class AutomationObject {
public:
    virtual ~AutomationObject() = default;
    // A new reference to the same object through the interface `iid`
    // ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}").
    virtual AutomationRef QueryInterface(const std::wstring& iid) = 0;
    virtual AutomationResult Invoke(std::int32_t dispatchId, InvokeKind kind, std::vector<AutomationArg> args) = 0;
    // The dispatch identifier of a member the contract gives no number,
    // looked up by its name; none when the object does not know the name.
    // Raises as a call does when the server cannot answer.
    virtual std::optional<std::int32_t> DispatchIdOf(const std::wstring& name) = 0;
};

class AutomationFactory {
public:
    virtual ~AutomationFactory() = default;
    virtual AutomationRef CreateObject(const std::wstring& progId) = 0;
};

}  // namespace kestrow
