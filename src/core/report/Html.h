#pragma once
// What a page needs to show text from a log safely and to point at files
// beside it: escaping, and references from the page's folder.
#include <string>

namespace kestrow {

// Text for HTML content and quoted attribute values: &, <, >, " and '
// escaped.
std::wstring HtmlText(const std::wstring& text);

// `target` (a Windows path) as a page in `pageFolder` refers to it: a
// relative URL when both are on one drive or share, a file URL otherwise.
// A relative `target` is taken from `baseFolder`.
std::wstring FileReference(const std::wstring& pageFolder, const std::wstring& baseFolder, const std::wstring& target);

// Text as UTF-8 bytes; a lone surrogate becomes U+FFFD.
std::string Utf8Of(const std::wstring& text);

}  // namespace kestrow
