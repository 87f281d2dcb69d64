#include "common/CommandLineWords.h"

#include <cwctype>

namespace kestrow {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::wstring QuotedArgument(const std::wstring& argument, bool alwaysQuoted) {
    if (!alwaysQuoted && !argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each is doubled, and
        // one more makes the quote part of the argument.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
    std::vector<std::wstring> words;
    size_t at = 0;
    const size_t end = commandLine.size();
    for (;;) {
        while (at < end && IsBlank(commandLine[at])) ++at;
        if (at == end) return words;
        std::wstring word;
        bool quoted = false;
        while (at < end && (quoted || !IsBlank(commandLine[at]))) {
            size_t backslashes = 0;
            while (at < end && commandLine[at] == L'\\') ++backslashes, ++at;
            if (at < end && commandLine[at] == L'"') {
                word.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    word += L'"';
                } else if (quoted && at + 1 < end && commandLine[at + 1] == L'"') {
                    word += L'"';  // "" inside quotes: one quote, still quoted
                    ++at;
                } else {
                    quoted = !quoted;
                }
                ++at;
                continue;
            }
            word.append(backslashes, L'\\');
            if (at < end && (quoted || !IsBlank(commandLine[at]))) word += commandLine[at++];
        }
        words.push_back(std::move(word));
    }
}

std::wstring SwitchName(const std::wstring& argument) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return std::wstring();
    std::wstring name = argument.substr(1);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

bool HasSwitch(const std::vector<std::wstring>& arguments, const std::wstring& name) {
    for (const std::wstring& argument : arguments)
        if (SwitchName(argument) == name) return true;
    return false;
}

bool IsHelpSwitch(const std::wstring& name) { return name == L"?" || name == L"h" || name == L"help"; }

}  // namespace kestrow
