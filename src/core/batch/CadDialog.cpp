#include "batch/CadDialog.h"

#include <algorithm>

#include "common/CaseFold.h"
#include "listing/WildcardMatch.h"

namespace kestrow {
namespace {

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

}  // namespace

std::optional<AnswerRule> ParseAnswerRule(const std::wstring& text) {
    const size_t equals = text.rfind(L'=');
    if (equals == std::wstring::npos) return std::nullopt;
    AnswerRule rule{Trimmed(text.substr(0, equals)), ButtonLabel(Trimmed(text.substr(equals + 1)))};
    if (rule.title.empty() || rule.button.empty()) return std::nullopt;
    return rule;
}

std::wstring AnswerRuleText(const AnswerRule& rule) {
    std::wstring text = rule.title + L"=";
    for (const wchar_t c : rule.button) text += c == L'&' ? L"&&" : std::wstring(1, c);
    return text;
}

std::wstring ButtonLabel(const std::wstring& caption) {
    std::wstring label;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&') {
            if (i + 1 < caption.size() && caption[i + 1] == L'&') label += caption[++i];
            continue;
        }
        label += caption[i];
    }
    return label;
}

DialogAnswer AnswerByRules(const std::vector<AnswerRule>& rules, const CadDialog& dialog) {
    for (const AnswerRule& rule : rules) {
        if (!WildcardMatch(rule.title, dialog.title)) continue;
        bool disabled = false;  // a button of that label, greyed out
        for (size_t i = 0; i < dialog.buttons.size(); ++i) {
            if (!SameIgnoringCase(dialog.buttons[i], rule.button)) continue;
            if (std::find(dialog.disabled.begin(), dialog.disabled.end(), i) == dialog.disabled.end())
                return DialogAnswer{i, std::wstring()};
            disabled = true;
        }
        return DialogAnswer{std::nullopt,
                            disabled ? L"its button \"" + rule.button + L"\" is disabled"
                                     : L"it has no button \"" + rule.button + L"\"",
                            disabled};
    }
    return DialogAnswer{std::nullopt, L"no rule answers it"};
}

std::wstring DialogShownText(const CadDialog& dialog) {
    std::wstring text = L"Solid Edge showed '" + dialog.title + (dialog.text.empty() ? L"" : L": " + dialog.text) + L"'";
    if (!dialog.picture.empty()) text += L" (picture: " + dialog.picture + L")";
    return text;
}

}  // namespace kestrow
