#include "ExportContent.h"

#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <vector>

namespace standin {
namespace {

// The lines every format shows: the draft and each view with its state.
std::vector<std::wstring> Lines(const std::wstring& draftPath, const Draft& draft) {
    std::vector<std::wstring> lines{L"Kestrow stand-in export", L"Draft: " + draftPath};
    for (const View& view : draft.views)
        lines.push_back(L"View " + std::wstring(view.name.begin(), view.name.end()) + L": " +
                        (view.current ? L"current" : L"stale"));
    return lines;
}

// Text for a PDF string in the standard font: ASCII, with what is not
// shown as '?'.
std::string PdfString(const std::wstring& text) {
    std::string out = "(";
    for (const wchar_t c : text) {
        if (c == L'(' || c == L')' || c == L'\\') out += '\\';
        out += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    }
    return out + ")";
}

// A document's title as UTF-16BE in hex, so that readers show any name.
std::string PdfTitle(const std::wstring& text) {
    std::string out = "<FEFF";
    char unit[8];
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code > 0xFFFF) {
            const std::uint32_t v = code - 0x10000;
            std::snprintf(unit, sizeof(unit), "%04X", 0xD800 + (v >> 10));
            out += unit;
            std::snprintf(unit, sizeof(unit), "%04X", 0xDC00 + (v & 0x3FF));
        } else {
            std::snprintf(unit, sizeof(unit), "%04X", code);
        }
        out += unit;
    }
    return out + ">";
}

std::string Pdf(const std::wstring& draftPath, const Draft& draft) {
    std::string content = "BT /F1 12 Tf 50 540 Td 16 TL\n";
    for (const std::wstring& line : Lines(draftPath, draft)) content += PdfString(line) + " Tj T*\n";
    content += "ET\n";
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 842 595] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Title " + PdfTitle(draftPath) + " /Producer (Kestrow stand-in server) >>",
    };
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f\r\n";
    char entry[24];
    for (const size_t offset : offsets) {
        std::snprintf(entry, sizeof(entry), "%010zu 00000 n\r\n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R /Info 6 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// DXF text is ASCII; anything else is written as AutoCAD's \U+XXXX.
std::string DxfString(const std::wstring& text) {
    std::string out;
    char escaped[12];
    for (const wchar_t c : text) {
        if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(escaped, sizeof(escaped), "\\U+%04X", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out;
}

std::string Dxf(const std::wstring& draftPath, const Draft& draft) {
    std::string dxf = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n"
                      "  0\nSECTION\n  2\nENTITIES\n";
    // A sheet's frame, then one line of text for each of Lines.
    const double corners[][2] = {{0, 0}, {297, 0}, {297, 210}, {0, 210}, {0, 0}};
    char number[64];
    for (size_t i = 0; i + 1 < 5; ++i) {
        dxf += "  0\nLINE\n  8\n0\n";
        std::snprintf(number, sizeof(number), " 10\n%.1f\n 20\n%.1f\n 11\n%.1f\n 21\n%.1f\n", corners[i][0],
                      corners[i][1], corners[i + 1][0], corners[i + 1][1]);
        dxf += number;
    }
    double y = 190;
    for (const std::wstring& line : Lines(draftPath, draft)) {
        std::snprintf(number, sizeof(number), " 10\n10.0\n 20\n%.1f\n 40\n5.0\n", y);
        dxf += "  0\nTEXT\n  8\n0\n" + std::string(number) + "  1\n" + DxfString(line) + "\n";
        y -= 10;
    }
    return dxf + "  0\nENDSEC\n  0\nEOF\n";
}

// The version mark of DWG 2018 and later, which a DWG file starts with.
std::string Dwg(const std::wstring& draftPath) {
    std::string dwg = "AC1032";
    dwg.resize(128, '\0');
    return dwg + "Kestrow stand-in export of " + DxfString(draftPath) + "\n";
}

}  // namespace

std::optional<std::string> ExportedFile(const std::wstring& extension, const std::wstring& draftPath,
                                        const Draft& draft) {
    std::wstring lower = extension;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    if (lower == L"pdf") return Pdf(draftPath, draft);
    if (lower == L"dxf") return Dxf(draftPath, draft);
    if (lower == L"dwg") return Dwg(draftPath);
    return std::nullopt;
}

}  // namespace standin
