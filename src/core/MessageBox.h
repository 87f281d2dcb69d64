#pragma once
#include <string>

namespace kestrow {

// Button-and-icon codes and answers, with the values Windows gives them.
namespace MessageCode {
constexpr unsigned Ok = 0x0;
constexpr unsigned YesNo = 0x4;
constexpr unsigned CancelTryContinue = 0x6;
constexpr unsigned IconError = 0x10;
constexpr unsigned IconQuestion = 0x20;
constexpr unsigned IconExclamation = 0x30;
constexpr unsigned IconInformation = 0x40;
}  // namespace MessageCode

namespace MessageAnswer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
constexpr int TryAgain = 10;
constexpr int Continue = 11;
}  // namespace MessageAnswer

// A modal message box: text, button-and-icon code, title; returns the answer.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual int Show(const std::wstring& text, unsigned code, const std::wstring& title) = 0;
};

}  // namespace kestrow
