#pragma once
// The program's runtime error: a number, a source and a description, raised
// like an exception through the portable core and reported at the handler
// boundary of each window.
#include <exception>
#include <string>

namespace kestrow {

namespace ErrorNumber {
constexpr long InvalidProcedureCall = 5;
constexpr long Overflow = 6;
constexpr long OutOfMemory = 7;
constexpr long DivisionByZero = 11;
constexpr long UserInterrupt = 18;
constexpr long ObjectNotSet = 91;
constexpr long CannotCreateObject = 429;
constexpr long NoSuchMember = 438;
constexpr long InternalError = 51;
}  // namespace ErrorNumber

// What a failure means for a batch. The platform layer that raises an
// error classifies it, so that the core never looks at platform codes.
enum class FailureKind {
    Ordinary,         // the call or the draft failed; the server is still there
    ServerBusy,       // the server kept turning the call away as busy
    ServerGone,       // the server process ended or its connection broke
    ServerAbandoned,  // the server stopped answering, was given up, and its
                      // process was ended: nothing of it holds a draft any more
    ServerAbandonedRunning,  // given up, but its process could not be told
                             // apart or ended: it may still hold a draft
    ForeignServer,  // the activation was served by a process this run did not
                    // start (somebody's own session): it got no contract call
    SharedServer,     // the activation was handed a process that another
                      // session of this batch already uses: no call was made
    LeaseLost,        // the draft came from a night several computers share, and
                      // this computer's lease on it lapsed or was taken: it was
                      // closed without storing and is no longer this run's to write
};

class RuntimeError : public std::exception {
public:
    RuntimeError(long number, std::wstring source, std::wstring description, FailureKind kind = FailureKind::Ordinary)
        : number_(number), source_(std::move(source)), description_(std::move(description)), kind_(kind) {}

    long Number() const noexcept { return number_; }
    const std::wstring& Source() const noexcept { return source_; }
    const std::wstring& Description() const noexcept { return description_; }
    FailureKind Kind() const noexcept { return kind_; }
    // No further call can reach the server that raised this.
    bool ServerLost() const noexcept {
        return kind_ == FailureKind::ServerGone || kind_ == FailureKind::ServerAbandoned ||
               kind_ == FailureKind::ServerAbandonedRunning;
    }
    bool ServerGivenUp() const noexcept {
        return kind_ == FailureKind::ServerAbandoned || kind_ == FailureKind::ServerAbandonedRunning;
    }

    // Same number and description, new source: how the folder-browse
    // procedures pass an error on to their caller.
    RuntimeError WithSource(std::wstring source) const {
        return RuntimeError(number_, std::move(source), description_, kind_);
    }

    const char* what() const noexcept override { return "Kestrow runtime error"; }

private:
    long number_;
    std::wstring source_;
    std::wstring description_;
    FailureKind kind_;
};

// The source the program gives to errors it raises itself.
inline const wchar_t* const kProgramSource = L"Kestrow";

RuntimeError OverflowError();
RuntimeError InvalidCallError();

// "Error <n> (<hex for COM codes>) in <source>: <description>" on one line.
std::wstring DescribeError(const RuntimeError& error);

// The text of the box that reports an error raised in a window handler.
std::wstring FormatHandlerErrorReport(const RuntimeError& error);

}  // namespace kestrow
