#pragma once
// UTF-8 as the core writes it: for the shares' hash and the report's page.
#include <string>

namespace kestrow {

// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace kestrow
