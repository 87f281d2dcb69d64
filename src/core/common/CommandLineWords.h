#pragma once
// Arguments written into one command line and read back out of it, by the
// rules Windows programs split their command lines with (CommandLineToArgvW
// and the C runtime): blanks separate arguments outside quotes; backslashes
// count only before a quote, where each pair gives one backslash and an odd
// one makes the quote a character of the argument.
#include <string>
#include <vector>

namespace kestrow {

// `argument` as one word of a command line: as it stands when it needs no
// quotes (and `alwaysQuoted` is false), otherwise in quotes, with a quote
// inside and the backslashes before it or before the closing quote escaped,
// so that "D:\" does not swallow its closing quote.
std::wstring QuotedArgument(const std::wstring& argument, bool alwaysQuoted = false);

// The words of a command line that holds arguments only (no program name).
std::vector<std::wstring> SplitArguments(const std::wstring& commandLine);

// A switch's name in lower case: "/Update" and "-UPDATE" both give "update";
// "" for what is no switch.
std::wstring SwitchName(const std::wstring& argument);

// Whether any of `arguments` is the switch `name` (in lower case), wherever
// it stands: it decides which command the whole line is.
bool HasSwitch(const std::vector<std::wstring>& arguments, const std::wstring& name);

// "/?", "/h" and "/help", by their names as SwitchName gives them.
bool IsHelpSwitch(const std::wstring& name);

}  // namespace kestrow
