#include "check/CheckPage.h"

#include "check/CheckText.h"
#include "common/Version.h"
#include "report/Html.h"

namespace kestrow {
namespace {

const wchar_t* const kCheckStyle =
    L".verdict{font-size:19px;border-radius:8px;padding:10px 16px;margin:14px 0}"
    L".verdict.good{background:#dafbe1;border:1px solid #1a7f37}.verdict.bad{background:#ffebe9;border:1px solid #cf222e}"
    L"td.ok{color:#1a7f37}td.problem{color:#cf222e;font-weight:600}td.note{color:#9a6700}"
    L"code{font-family:Consolas,\"DejaVu Sans Mono\",monospace;font-size:13px;word-break:break-all}";

std::wstring Cell(const std::wstring& text, const std::wstring& kind = L"") {
    return L"<td" + (kind.empty() ? L"" : L" class=\"" + kind + L"\"") + L">" + HtmlText(text) + L"</td>";
}

std::wstring VerdictSection(const CheckFacts& facts, const CheckVerdict& verdict) {
    std::wstring html = L"<div class=\"verdict " + std::wstring(verdict.NightCanRun() ? L"good" : L"bad") + L"\"><b>" +
                        HtmlText(VerdictLine(verdict)) + L"</b>";
    const std::vector<std::wstring> reasons = VerdictReasons(verdict);
    if (!reasons.empty()) {
        html += L"<ul>";
        for (const std::wstring& reason : reasons) html += L"<li>" + HtmlText(reason.substr(2)) + L"</li>";
        html += L"</ul>";
    }
    if (verdict.NightCanRun() && facts.sample.draft.empty())
        html += L"<br>As far as a check without a sample draft can tell.";
    return html + L"</div>\n";
}

std::wstring FindingsSection(const CheckVerdict& verdict) {
    std::wstring html = L"<h2>What was found</h2>\n<table><tr><th></th><th>What</th><th class=\"n\">Figure</th>"
                        L"<th>Found</th></tr>\n";
    for (const Finding& finding : verdict.findings)
        html += L"<tr>" + Cell(MarkName(finding.mark), MarkName(finding.mark)) + Cell(finding.topic) +
                Cell(finding.figure, L"n") + Cell(finding.text) + L"</tr>\n";
    return html + L"</table>\n";
}

std::wstring DialogsSection(const CheckFacts& facts) {
    if (facts.dialogs.empty()) return std::wstring();
    std::wstring html = L"<h2>Solid Edge's dialogs</h2>\n";
    for (const CheckedDialog& seen : facts.dialogs) {
        const CadDialog& dialog = seen.dialog;
        html += L"<figure>";
        if (!seen.picturePng.empty())
            html += L"<img alt=\"" + HtmlText(dialog.title) + L"\" src=\"" + DataUri(L"image/png", seen.picturePng) +
                    L"\">";
        html += L"<figcaption>" + HtmlText(dialog.title + (dialog.text.empty() ? L"" : L": " + dialog.text)) +
                L"<br>during " + HtmlText(seen.during) + L": " + HtmlText(seen.action) + L"</figcaption></figure>\n";
    }
    return html;
}

std::wstring SwitchesSection(const CheckVerdict& verdict) {
    if (verdict.switches.empty()) return std::wstring();
    std::wstring html = L"<h2>Switches for the night</h2>\n<table><tr><th>Switch</th><th>Why</th></tr>\n";
    for (const SuggestedSwitch& suggested : verdict.switches)
        html += L"<tr><td><code>" + HtmlText(suggested.words) + L"</code></td>" + Cell(suggested.why) + L"</tr>\n";
    return html + L"</table>\n<p>All together: <code>" + HtmlText(SwitchesTogether(verdict)) + L"</code></p>\n";
}

}  // namespace

std::wstring CheckPage(const CheckFacts& facts, const CheckVerdict& verdict, const std::wstring& madeAt) {
    const std::wstring computer = facts.machine.computer.empty() ? L"this computer" : facts.machine.computer;
    std::wstring html = L"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Kestrow: Solid "
                        L"Edge checked on " +
                        HtmlText(computer) + L"</title>\n<style>" + PageStyle() + kCheckStyle +
                        L"</style>\n</head>\n<body>\n";
    html += L"<h1>Solid Edge checked before the first night</h1>\n<p class=\"sub\">On " + HtmlText(computer) + L", " +
            HtmlText(madeAt) + L", by Kestrow " + kKestrowVersion + L"; the check took " +
            HtmlText(SecondsFigure(facts.seconds)) + L".</p>\n";
    html += VerdictSection(facts, verdict) + FindingsSection(verdict) + DialogsSection(facts) + SwitchesSection(verdict);
    return html + L"<footer>Made by Kestrow /check. The sample draft itself was never opened or written; a copy of it "
                  L"was, and is gone.</footer>\n</body>\n</html>\n";
}

}  // namespace kestrow
