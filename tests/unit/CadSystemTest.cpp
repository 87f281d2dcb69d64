// The CAD system as it really is: the program its registration starts,
// the dialogs it shows and the rules that answer them, their pictures.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "batch/CadDialog.h"
#include "batch/CallWatch.h"
#include "common/CommandLineProgram.h"
#include "common/Png.h"
#include "common/Utf8.h"
#include "listing/WildcardMatch.h"
#include "unattended/DialogRows.h"
#include "FakeAutomation.h"

using namespace kestrow;

namespace {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) AppendUtf8(out, static_cast<char32_t>(c));
    return out;
}

std::uint32_t BigEndian(const std::string& bytes, size_t at) {
    std::uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

// The image data of a PNG written in stored blocks, each chunk's CRC and
// each block's lengths checked on the way.
std::string StoredImageData(const std::string& png, std::uint32_t& width, std::uint32_t& height) {
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n"));
    std::string zlib;
    std::vector<std::string> types;
    for (size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = BigEndian(png, at);
        const std::string typed = png.substr(at + 4, 4 + length);
        EXPECT_EQ(BigEndian(png, at + 8 + length), Crc32(typed)) << typed.substr(0, 4);
        types.push_back(typed.substr(0, 4));
        if (types.back() == "IHDR") {
            width = BigEndian(typed, 4);
            height = BigEndian(typed, 8);
            EXPECT_EQ(typed.substr(12), std::string("\x08\x02\x00\x00\x00", 5));
        }
        if (types.back() == "IDAT") zlib += typed.substr(4);
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(zlib.substr(0, 2), "\x78\x01");
    std::string raw;
    size_t at = 2;
    for (bool last = false; !last && at + 5 <= zlib.size();) {
        last = zlib[at] == 1;
        const size_t length = static_cast<std::uint8_t>(zlib[at + 1]) | (static_cast<std::uint8_t>(zlib[at + 2]) << 8);
        const size_t complement = static_cast<std::uint8_t>(zlib[at + 3]) | (static_cast<std::uint8_t>(zlib[at + 4]) << 8);
        EXPECT_EQ(length ^ 0xFFFF, complement);
        raw += zlib.substr(at + 5, length);
        at += 5 + length;
    }
    EXPECT_EQ(at + 4, zlib.size()) << "the Adler-32 follows the last block";
    EXPECT_EQ(BigEndian(zlib, at), Adler32(raw));
    return raw;
}

}  // namespace

TEST(CommandLineProgram, ReadAsTheSystemStartsIt) {
    const std::set<std::wstring> files = {
        L"C:\\Program Files\\Stand In\\KestrowStandIn.exe",
        L"C:\\Program Files\\Stand In\\Bare.exe",
        L"D:\\Program.exe",
        L"D:\\Program Files\\CAD\\Cad.exe",
        L"C:\\Tools\\Server.com",
        L"Server.exe",
    };
    const auto exists = [&](const std::wstring& path) { return files.count(path) != 0; };
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"\"C:\\Program Files\\Stand In\\KestrowStandIn.exe\" -Embedding",
         L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"},
        {L"C:\\Program Files\\Stand In\\KestrowStandIn.exe", L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"},
        {L"C:\\Program Files\\Stand In\\KestrowStandIn.exe /Automation -Embedding",
         L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"},
        {L"  C:\\Program Files\\Stand In\\KestrowStandIn.exe\t/Automation",
         L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"},
        // No extension: ".exe" is added, quoted or not.
        {L"C:\\Program Files\\Stand In\\Bare /Automation", L"C:\\Program Files\\Stand In\\Bare.exe"},
        {L"\"C:\\Program Files\\Stand In\\Bare\"", L"C:\\Program Files\\Stand In\\Bare.exe"},
        // The shortest run of words that names a file is what starts.
        {L"D:\\Program Files\\CAD\\Cad.exe", L"D:\\Program.exe"},
        {L"C:\\Tools\\Server.com -Embedding", L"C:\\Tools\\Server.com"},
        {L"Server.exe /a", L"Server.exe"},
        // A quoted program stands as written, an unclosed quote to the end.
        {L"\"C:\\Elsewhere\\Cad.exe\" /a", L"C:\\Elsewhere\\Cad.exe"},
        {L"\"C:\\Elsewhere\\Cad.exe", L"C:\\Elsewhere\\Cad.exe"},
        // Nothing that would start.
        {L"C:\\Elsewhere\\Cad.exe /a", L""},
        {L"", L""},
        {L"   ", L""},
        {L"\"\"", L""},
    };
    for (const auto& [command, program] : cases)
        EXPECT_EQ(ProgramOfCommandLine(command, exists), program) << Narrow(command);
    EXPECT_EQ(FileNameOf(L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"), L"KestrowStandIn.exe");
    EXPECT_EQ(FileNameOf(L"Server.exe"), L"Server.exe");
}

TEST(AnswerRules, ParsedFromTitleEqualsButton) {
    const std::vector<std::pair<std::wstring, std::optional<AnswerRule>>> cases = {
        {L"Missing references=OK", AnswerRule{L"Missing references", L"OK"}},
        {L"  Missing * = &Yes ", AnswerRule{L"Missing *", L"Yes"}},
        {L"a=b=Continue", AnswerRule{L"a=b", L"Continue"}},
        {L"=OK", std::nullopt},
        {L"Title=", std::nullopt},
        {L"Title= & ", std::nullopt},
        {L"No equals sign", std::nullopt},
    };
    for (const auto& [text, rule] : cases) {
        const auto parsed = ParseAnswerRule(text);
        ASSERT_EQ(parsed.has_value(), rule.has_value()) << Narrow(text);
        if (!rule) continue;
        EXPECT_EQ(parsed->title, rule->title) << Narrow(text);
        EXPECT_EQ(parsed->button, rule->button) << Narrow(text);
    }
    // Written back, a rule reads as the same rule, its '&'s kept.
    for (const AnswerRule& rule : {AnswerRule{L"a=b", L"Save & Close"}, AnswerRule{L"Save?", L"&&&"}}) {
        const auto again = ParseAnswerRule(AnswerRuleText(rule));
        ASSERT_TRUE(again) << Narrow(rule.button);
        EXPECT_EQ(std::tie(again->title, again->button), std::tie(rule.title, rule.button));
    }
    EXPECT_EQ(ButtonLabel(L"&Yes"), L"Yes");
    EXPECT_EQ(ButtonLabel(L"Save && Close"), L"Save & Close");
    EXPECT_EQ(ButtonLabel(L"&&&No"), L"&No");
}

TEST(AnswerRules, TheFirstRuleWhoseTitleMatchesDecides) {
    const CadDialog dialog{L"Missing References", L"Some models were not found.", {L"OK", L"Cancel"}, L""};
    const std::vector<std::pair<std::vector<AnswerRule>, std::optional<size_t>>> cases = {
        {{{L"missing*", L"cancel"}}, 1},
        {{{L"?issing References", L"OK"}}, 0},
        {{{L"Licence*", L"Cancel"}, {L"*", L"OK"}}, 0},
        // The first match decides, even when its button is not there.
        {{{L"Missing*", L"Retry"}, {L"*", L"OK"}}, std::nullopt},
        {{{L"Missing", L"OK"}}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& [rules, button] : cases) {
        const DialogAnswer answer = AnswerByRules(rules, dialog);
        EXPECT_EQ(answer.button, button) << (rules.empty() ? "no rules" : Narrow(rules.front().title));
        EXPECT_EQ(answer.leftBecause.empty(), button.has_value());
    }
    EXPECT_EQ(AnswerByRules({{L"Missing*", L"Retry"}}, dialog).leftBecause, L"it has no button \"Retry\"");
    // A greyed-out button is pressed by no click: its rule leaves the dialog.
    CadDialog greyed = dialog;
    greyed.disabled = {0};
    EXPECT_EQ(AnswerByRules({{L"Missing*", L"ok"}}, greyed).button, std::nullopt);
    EXPECT_EQ(AnswerByRules({{L"Missing*", L"ok"}}, greyed).leftBecause, L"its button \"ok\" is disabled");
    EXPECT_TRUE(AnswerByRules({{L"Missing*", L"ok"}}, greyed).buttonDisabled);
    EXPECT_FALSE(AnswerByRules({{L"Missing*", L"Retry"}}, greyed).buttonDisabled);
    EXPECT_EQ(AnswerByRules({{L"Missing*", L"Cancel"}}, greyed).button, std::optional<size_t>(1));
    EXPECT_EQ(DialogShownText(CadDialog{L"T", L"x.", {}, L"C:\\p.png"}), L"Solid Edge showed 'T: x.' (picture: C:\\p.png)");
}

// CAD systems are installed in the user's language: a rule typed in
// capitals must still find "Fehlende Bezüge" and its "Übernehmen" button.
TEST(AnswerRules, CaseIsIgnoredInEveryAlphabetARuleIsLikelyToBeWrittenIn) {
    const std::vector<std::tuple<std::wstring, std::wstring, std::wstring, std::wstring>> cases = {
        {L"Fehlende Bez\u00FCge", L"\u00DCbernehmen", L"FEHLENDE BEZ\u00DCGE", L"\u00FCBERNEHMEN"},
        {L"R\u00E9f\u00E9rences manquantes", L"Ignorer", L"*R\u00C9F\u00C9RENCES*", L"ignorer"},
        {L"Brakuj\u0105ce odwo\u0142ania", L"Pomi\u0144", L"BRAKUJ\u0104CE*", L"POMI\u0143"},
        {L"\u0412\u043D\u0438\u043C\u0430\u043D\u0438\u0435", L"\u0414\u0430", L"\u0432\u043D\u0438\u043C\u0430\u043D\u0438\u0435",
         L"\u0434\u0430"},
        {L"Chyb\u011Bj\u00EDc\u00ED odkazy", L"Pokra\u010Dovat", L"CHYB\u011Aj\u00CDC\u00CD*", L"POKRA\u010COVAT"},
        {L"\u03A3\u03C6\u03B1\u03BB\u03BC\u03B1", L"OK", L"\u03C3\u03A6\u0391\u039B\u039C\u0391", L"ok"},
    };
    for (const auto& [title, button, ruleTitle, ruleButton] : cases) {
        const CadDialog dialog{title, L"", {L"Cancel", button}, L""};
        EXPECT_EQ(AnswerByRules({{ruleTitle, ruleButton}}, dialog).button, std::optional<size_t>(1)) << Narrow(title);
    }
    // Letters that only look alike stay apart.
    EXPECT_FALSE(WildcardMatch(L"\u00FC*", L"u"));
    EXPECT_FALSE(WildcardMatch(L"\u00D7", L"\u00F7"));
}

TEST(DialogRows, ARowNamesTheDraftTheDialogAndWhatWasDoneAndThePicturesGoBesideTheLog) {
    DraftRecord draft{L"Sub\\a.dft", L"C:\\D\\Sub\\a.dft", DraftState::NotReached};
    draft.session = 2;
    const CadDialog dialog{L"Missing references", L"Some models, were not found.", {L"Yes", L"No"}, L"C:\\L\\p.png"};
    const LogRow row = DialogLogRow(L"T", draft, dialog, L"pressed No");
    EXPECT_EQ(FormatLogRow(row, kNewLogLayout),
              L"T,dialog,C:\\D\\Sub\\a.dft,,Missing references,\"Some models, were not found.\",,,,,2,"
              L"buttons: Yes / No | action: pressed No | picture: C:\\L\\p.png");
    EXPECT_EQ(DialogLine(draft, dialog, L"pressed No"),
              L"dialog  Sub\\a.dft  'Missing references: Some models, were not found.'  [Yes / No]: pressed No");
    const std::vector<std::pair<std::wstring, std::wstring>> folders = {
        {L"D:\\Logs\\night.csv", L"D:\\Logs\\night-dialogs"},
        {L"D:\\Logs\\night", L"D:\\Logs\\night-dialogs"},
        {L"D:\\Logs.v2\\night", L"D:\\Logs.v2\\night-dialogs"},
        {L"D:\\Logs\\.csv", L"D:\\Logs\\.csv-dialogs"},
    };
    for (const auto& [log, folder] : folders) EXPECT_EQ(DialogFolderBesideLog(log), folder) << Narrow(log);
}

TEST(CallWatch, ADialogThatKeepsComingBackIsLeftAfterItsTenthAnswerAndNamesTheCall) {
    CallWatch::Policy policy;
    policy.answers = {{L"Missing*", L"OK"}};
    CallWatch watch(policy, nullptr);
    std::vector<std::wstring> actions;
    watch.SetDialogReporter([&](const CadDialog&, const std::wstring& action, bool) { actions.push_back(action); });
    const CadDialog dialog{L"Missing references", L"x", {L"OK"}, L""};
    const CallWatch::Clock::time_point call{}, next = call + std::chrono::seconds(5);
    for (int shown = 1; shown <= CallWatch::kMostAnswersPerDialog; ++shown) {
        ASSERT_EQ(watch.AnswerDialog(dialog, call).button, 0u) << shown;
        watch.DialogHandled(dialog, L"pressed OK", true);
    }
    EXPECT_FALSE(watch.DialogLeftOpen());
    const DialogAnswer eleventh = watch.AnswerDialog(dialog, call);
    EXPECT_FALSE(eleventh.button);
    EXPECT_NE(eleventh.leftBecause.find(L"10 times"), std::wstring::npos);
    watch.DialogHandled(dialog, L"left open", false);
    ASSERT_TRUE(watch.DialogLeftOpen());
    EXPECT_EQ(watch.DialogLeftOpen()->title, L"Missing references");
    EXPECT_EQ(actions.size(), 11u);
    EXPECT_EQ(actions.back(), L"left open");
    // The next call counts afresh and is not named by the last one's dialog.
    EXPECT_TRUE(watch.KeepWaiting(next));
    EXPECT_FALSE(watch.DialogLeftOpen());
    EXPECT_EQ(watch.AnswerDialog(dialog, next).button, 0u);
}

TEST(Png, ChecksumsOfKnownTexts) {
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Adler32("Wikipedia"), 0x11E60398u);
    EXPECT_EQ(Adler32(std::string(100000, '\xFF')), 0x149A302Cu);
}

TEST(Png, RowsComeBackUnfilteredFromStoredBlocks) {
    for (const auto& [width, height] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{{1, 1}, {300, 150}}) {
        std::vector<std::uint8_t> rgb(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7);
        std::uint32_t readWidth = 0, readHeight = 0;
        const std::string raw = StoredImageData(EncodePng(width, height, rgb), readWidth, readHeight);
        EXPECT_EQ(readWidth, width);
        EXPECT_EQ(readHeight, height);
        std::string rows;  // each with its filter byte: none
        for (std::uint32_t y = 0; y < height; ++y)
            rows += '\0' + std::string(reinterpret_cast<const char*>(rgb.data()) + y * width * 3, width * 3);
        EXPECT_EQ(raw, rows);
    }
    EXPECT_EQ(EncodePng(2, 2, std::vector<std::uint8_t>(11)), "");
    EXPECT_EQ(EncodePng(0, 2, {}), "");
}

