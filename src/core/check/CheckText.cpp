#include "check/CheckText.h"

namespace kestrow {
namespace {

constexpr size_t kMarkWidth = 9;
constexpr size_t kTopicWidth = 17;
constexpr size_t kFigureWidth = 10;
constexpr size_t kWordsWidth = 36;

std::wstring Padded(std::wstring text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), L' ');
    else text += L' ';
    return text;
}

std::wstring Sentence(std::wstring text) {
    if (!text.empty() && text[0] >= L'a' && text[0] <= L'z') text[0] = static_cast<wchar_t>(text[0] - L'a' + L'A');
    if (!text.empty() && text.back() != L'.') text += L'.';
    return text;
}

}  // namespace

std::wstring CheckIntroLine(const std::wstring& progId) {
    return L"Kestrow checks Solid Edge (" + progId + L") on this computer before the first night; this takes about "
           L"as long as a start, the sample's calls and an end.";
}

std::wstring MarkName(FindingMark mark) {
    switch (mark) {
        case FindingMark::Ok: return L"ok";
        case FindingMark::Problem: return L"problem";
        case FindingMark::Note: return L"note";
    }
    return std::wstring();
}

std::vector<std::wstring> FindingDetail(const Finding& finding) {
    std::vector<std::wstring> lines{MarkName(finding.mark) + L" \u00B7 " + finding.topic +
                                        (finding.figure.empty() ? L"" : L" \u00B7 " + finding.figure),
                                    Sentence(finding.text)};
    if (!finding.mend.empty()) lines.push_back(L"What to do: " + Sentence(finding.mend));
    return lines;
}

std::wstring VerdictLine(const CheckVerdict& verdict) {
    return verdict.NightCanRun() ? L"A night can run." : L"A night cannot run:";
}

std::vector<std::wstring> VerdictReasons(const CheckVerdict& verdict) {
    std::vector<std::wstring> reasons;
    for (const Finding& finding : verdict.findings)
        if (finding.mark == FindingMark::Problem)
            reasons.push_back(L"- " + Sentence(finding.text) + L" " + Sentence(finding.mend));
    return reasons;
}

std::wstring SwitchesTogether(const CheckVerdict& verdict) {
    std::wstring together;
    for (const SuggestedSwitch& suggested : verdict.switches) together += (together.empty() ? L"" : L" ") + suggested.words;
    return together;
}

std::vector<std::wstring> CheckLines(const CheckFacts& facts, const CheckVerdict& verdict) {
    std::vector<std::wstring> lines;
    for (const Finding& finding : verdict.findings)
        lines.push_back(Padded(MarkName(finding.mark), kMarkWidth) + Padded(finding.topic, kTopicWidth) +
                        Padded(finding.figure, kFigureWidth) + finding.text);
    lines.emplace_back();
    lines.push_back(VerdictLine(verdict));
    for (const std::wstring& reason : VerdictReasons(verdict)) lines.push_back(L"  " + reason);
    if (verdict.NightCanRun() && facts.sample.draft.empty())
        lines.push_back(L"(As far as a check without a sample draft can tell: give one to check opening, dialogs and "
                        L"exports too.)");
    if (!verdict.switches.empty()) {
        lines.emplace_back();
        lines.push_back(L"Switches for the night, from what was measured here:");
        for (const SuggestedSwitch& suggested : verdict.switches)
            lines.push_back(L"  " + Padded(suggested.words, kWordsWidth) + suggested.why);
        lines.push_back(L"All together: " + SwitchesTogether(verdict));
    }
    lines.emplace_back();
    lines.push_back(L"The check took " + SecondsFigure(facts.seconds) +
                    (facts.machine.computer.empty() ? L"." : L" on " + facts.machine.computer + L"."));
    return lines;
}

}  // namespace kestrow
