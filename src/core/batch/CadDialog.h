#pragma once
// The dialogs the CAD system shows while a call to it is pending, and the
// rules that answer them: "<title>=<button>", the title with '*' and '?'
// and in any case, the button by its label as the user reads it.
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

struct CadDialog {
    std::wstring title;
    std::wstring text;                  // its lines joined into one
    std::vector<std::wstring> buttons;  // labels as read: "Yes", not "&Yes"
    std::wstring picture;               // where its picture is kept, "" for none
    // The buttons (by index) that no click presses: greyed out, or in a
    // dialog that takes no input.
    std::vector<size_t> disabled;
};

struct AnswerRule {
    std::wstring title;   // a pattern
    std::wstring button;  // a label
};

// "Missing references=OK": the title is what comes before the last '=';
// spaces around either part do not count. None when a part is empty.
std::optional<AnswerRule> ParseAnswerRule(const std::wstring& text);

// A rule as ParseAnswerRule reads it back: "Save changes?=Save && Close"
// for the button "Save & Close" (a single '&' would be taken for the
// button's accelerator and dropped).
std::wstring AnswerRuleText(const AnswerRule& rule);

// The label a user reads on a button: "&Yes" -> "Yes", "Save && Close" ->
// "Save & Close".
std::wstring ButtonLabel(const std::wstring& caption);

// What to do about a dialog: press one of its buttons, or leave it.
struct DialogAnswer {
    std::optional<size_t> button;  // an index into the dialog's buttons
    std::wstring leftBecause;      // why it is left, when it is
    // Left only because the rule's button is greyed out for now: a dialog
    // may enable it once it is ready, and is then answered after all.
    bool buttonDisabled = false;
};

// The first rule whose title matches decides: its button, or none when the
// dialog has no button of that label or that button is disabled.
DialogAnswer AnswerByRules(const std::vector<AnswerRule>& rules, const CadDialog& dialog);

// "Solid Edge showed 'Missing references: Some models were not found.'",
// with where its picture is kept.
std::wstring DialogShownText(const CadDialog& dialog);

}  // namespace kestrow
