#pragma once
// The program that a command line starts when it is handed to the system
// without a separate program name, as a registered local server's command
// line is: what Kestrow must recognise among the running processes.
#include <functional>
#include <string>

namespace kestrow {

// A quoted first word is the program as it stands. An unquoted command line
// is read as the system reads it: the leading runs of words, the shortest
// first ("C:\Program", then "C:\Program Files\Stand", ...), until one names
// an existing file; ".exe" is added to a name without an extension. Spaces
// and tabs separate words; what follows the program (switches) is ignored.
// "" when no run of words names an existing file.
std::wstring ProgramOfCommandLine(const std::wstring& commandLine,
                                  const std::function<bool(const std::wstring& path)>& fileExists);

// "C:\A\B.exe" -> "B.exe".
std::wstring FileNameOf(const std::wstring& path);

}  // namespace kestrow
