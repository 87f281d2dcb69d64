#pragma once
// What a page needs to show text from a log safely and to point at files
// beside it: escaping, and references from the page's folder.
#include <optional>
#include <string>

namespace kestrow {

// Text for HTML content and quoted attribute values: &, <, >, " and '
// escaped.
std::wstring HtmlText(const std::wstring& text);

// `target` (a Windows path) as a page in `pageFolder` refers to it: a
// relative URL when both are on one drive or share, a file URL otherwise.
// A relative `target` is taken from `baseFolder`.
std::wstring FileReference(const std::wstring& pageFolder, const std::wstring& baseFolder, const std::wstring& target);

// Where the page finds a dialog's picture that the log at `logPath` names:
// only a file of that log's own dialogs folder ("<log>-dialogs" beside it,
// see DialogFolderBesideLog), by its name under that folder as the report
// reaches the log, whatever root the writer saw it under. None for any
// other path (a share, a file elsewhere, a ".." path, a URL): the page
// shows that as text and never loads it.
std::optional<std::wstring> DialogPictureReference(const std::wstring& pageFolder, const std::wstring& logPath,
                                                   const std::wstring& picture);

// The style sheet Kestrow's pages share, to be put inline.
const wchar_t* PageStyle();

// `bytes` inline in a page: "data:image/png;base64,...".
std::wstring DataUri(const std::wstring& mediaType, const std::string& bytes);

// Text as UTF-8 bytes; a lone surrogate becomes U+FFFD.
std::string Utf8Of(const std::wstring& text);

}  // namespace kestrow
