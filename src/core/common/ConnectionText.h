#pragma once
// An ODBC connection string ("DRIVER={PostgreSQL Unicode};SERVER=db;...",
// or "DSN=name") as Kestrow handles it: its password never reaches a line,
// a row, a report, a task or a setting. Attributes are "key=value" joined
// by ";"; a value in braces may hold ";" and "}}" stands for "}".
#include <string>
#include <vector>

namespace kestrow {

struct ConnectionAttribute {
    std::wstring key;    // as written
    std::wstring value;  // braces taken off
};
std::vector<ConnectionAttribute> ConnectionAttributes(const std::wstring& connection);

// Whether the string carries a password (PWD or PASSWORD, in any case).
bool HoldsPassword(const std::wstring& connection);

// The string with each password's value written as "***", for saying which
// database is meant.
std::wstring WithoutPassword(const std::wstring& connection);

// `text` (what a driver said) with every password of `connection` in it
// written as "***", and any "PWD=" or "PASSWORD=" value too.
std::wstring ScrubPassword(const std::wstring& text, const std::wstring& connection);

// Why the string cannot be a connection ("" when it may be): empty, or no
// attribute in it.
std::wstring ConnectionProblem(const std::wstring& connection);

}  // namespace kestrow
