#pragma once
#include <functional>
#include <string>

namespace kestrow {

enum class MessageIcon { None, Error, Question, Exclamation, Information };
// KeepWaitingOrGiveUp: buttons named by what they do, "Keep waiting"
// (answered Yes) and "Give up on this session" (No).
enum class MessageButtons { Ok, YesNo, CancelTryContinue, KeepWaitingOrGiveUp };
enum class MessageAnswer { Ok, Cancel, Yes, No, TryAgain, Continue };

// An answer to a question that carries a check box under its text.
struct CheckedAnswer {
    MessageAnswer answer = MessageAnswer::Cancel;
    bool checked = false;
};

// Modal message boxes, titled and owned by the program's main window.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual MessageAnswer Show(const std::wstring& text, MessageButtons buttons, MessageIcon icon,
                               const std::wstring& title) = 0;
    // Cancel / Try Again / Continue, with a check box labelled `checkText`.
    virtual CheckedAnswer AskCancelTryContinue(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                                               const std::wstring& checkText) = 0;
    // Yes or No, with a third button that opens `folder` for the user to look
    // at without closing the question. Without one, a plain Yes / No.
    virtual MessageAnswer AskYesNoOpeningFolder(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                                                const std::wstring& folder) {
        (void)folder;
        return Show(text, MessageButtons::YesNo, icon, title);
    }
    // OK, with a button "Show the report" that runs `showReport` and leaves
    // the box open. Without one, a plain OK box.
    virtual void ShowOfferingReport(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                                    const std::function<void()>& showReport) {
        (void)showReport;
        Show(text, MessageButtons::Ok, icon, title);
    }
};

}  // namespace kestrow
