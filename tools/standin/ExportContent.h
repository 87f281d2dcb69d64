#pragma once
// What the stand-in writes when a draft is saved as another format: a
// one-page PDF that names the draft and its views, a DXF (R12) with the same
// as text, or for DWG a small file that starts with the format's version
// mark, as real readers expect them.
#include <optional>
#include <string>

#include "DraftFile.h"

namespace standin {

// By the target's extension ("pdf", "dwg", "dxf", any case); none for any
// other.
std::optional<std::string> ExportedFile(const std::wstring& extension, const std::wstring& draftPath,
                                        const Draft& draft);

}  // namespace standin
