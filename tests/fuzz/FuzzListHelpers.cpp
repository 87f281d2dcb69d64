// Checks the list helpers against a plain model of their rules, on random
// texts, tokens, separators, indices and directory listings; and the text
// that comes from outside in an unattended run: the command line, and the
// log's CSV fields read back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/RuntimeError.h"
#include "listing/GCP.h"
#include "unattended/CommandLine.h"
#include "unattended/UnattendedRun.h"

using namespace kestrow;

namespace {

// Small alphabets make separators and matches frequent.
std::wstring Text(FuzzedDataProvider& in, size_t maxLength, std::wstring_view alphabet = L"ab#|.dftDFT* ?\u03a9") {
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, maxLength);
    std::wstring text;
    for (size_t i = 0; i < length && in.remaining_bytes(); ++i)
        text += alphabet[in.ConsumeIntegralInRange<size_t>(0, alphabet.size() - 1)];
    return text;
}

// A CSV field as a reader takes it back: quotes undone.
std::wstring ModelCsvRead(const std::wstring& field) {
    if (field.empty() || field.front() != L'"') return field;
    std::wstring text;
    for (size_t i = 1; i + 1 < field.size(); ++i) {
        if (field[i] == L'"') ++i;  // a doubled quote
        text += field[i];
    }
    return text;
}

[[noreturn]] void Mismatch(const char* what) {
    std::fprintf(stderr, "mismatch with the model: %s\n", what);
    __builtin_trap();
}

std::int32_t ModelCount(const std::wstring& text, const std::wstring& token) {
    std::int32_t count = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (text.compare(i, token.size(), token) == 0 && i + token.size() <= text.size()) ++count;
    return count;
}

std::wstring ModelField(const std::wstring& text, const std::wstring& separator, std::int32_t index) {
    if (separator.empty()) return std::wstring();
    std::vector<std::wstring> fields(1);
    for (wchar_t c : text) {
        if (c == separator[0]) fields.emplace_back();
        else fields.back() += c;
    }
    const size_t at = std::min(static_cast<size_t>(index), fields.size()) - 1;
    return fields[at];
}

wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

bool ModelMatch(const std::wstring& p, size_t i, const std::wstring& n, size_t j) {
    if (i == p.size()) return j == n.size();
    if (p[i] == L'*') return ModelMatch(p, i + 1, n, j) || (j < n.size() && ModelMatch(p, i, n, j + 1));
    return j < n.size() && (p[i] == L'?' || Fold(p[i]) == Fold(n[j])) && ModelMatch(p, i + 1, n, j + 1);
}

struct ListedNames : DirectoryEnumerator {
    std::vector<std::wstring> names;
    void ForEachEntry(const std::wstring&, const std::function<void(const std::wstring&, EntryKind)>& onEntry) override {
        for (const auto& name : names) onEntry(name, EntryKind::PlainFile);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::wstring text = Text(in, 64);
    const std::wstring token = Text(in, 3);
    const std::wstring separator = Text(in, 2);
    const auto index = in.ConsumeIntegralInRange<std::int32_t>(-2, 40);

    if (GCP::CountOccurrences(text, token) != (token.empty() ? static_cast<std::int32_t>(text.size())
                                                             : ModelCount(text, token)))
        Mismatch("CountOccurrences");

    if (index <= 0) {
        try {
            GCP::GetField(text, separator, index);
            Mismatch("GetField accepted an index below 1");
        } catch (const RuntimeError&) {
        }
    } else {
        if (GCP::GetField(text, separator, index) != ModelField(text, separator, index)) Mismatch("GetField");
        const auto fields = GCP::GetFields(text, separator, index);
        for (std::int32_t i = 1; i <= index; ++i)
            if (fields[static_cast<size_t>(i - 1)] != ModelField(text, separator, i)) Mismatch("GetFields");
    }

    ListedNames directory;
    const size_t count = in.ConsumeIntegralInRange<size_t>(0, 6);
    for (size_t i = 0; i < count; ++i) directory.names.push_back(Text(in, 12));
    const std::wstring pattern = Text(in, 6);
    std::wstring folder = Text(in, 4);
    const std::wstring original = folder;
    const std::wstring list = GCP::ListFiles(folder, pattern, separator, directory);
    std::wstring model;
    for (const auto& name : directory.names)
        if (ModelMatch(pattern, 0, name, 0)) model += name + separator;
    model = model.size() < 2 ? std::wstring() : model.substr(0, model.size() - 1);
    if (list != model) {
        for (const auto& name : directory.names) {
            std::fprintf(stderr, "name:");
            for (wchar_t c : name) std::fprintf(stderr, " %04x", static_cast<unsigned>(c));
            std::fprintf(stderr, "\n");
        }
        std::fprintf(stderr, "pattern %zu chars, separator %zu chars, list %zu chars, model %zu chars\n",
                     pattern.size(), separator.size(), list.size(), model.size());
        Mismatch("ListFiles");
    }
    if (folder != ((!original.empty() && original.back() == L'\\') ? original : original + L'\\'))
        Mismatch("ListFiles folder");

    const std::wstring field = Text(in, 12, L"a ,\"\r\n\u03a9");
    const std::wstring written = CsvField(field);
    const bool needsQuotes = written.find_first_of(L",\"\r\n") != std::wstring::npos ||
                             (!written.empty() && (written.front() == L' ' || written.back() == L' '));
    if (needsQuotes && (written.size() < 2 || written.front() != L'"' || written.back() != L'"'))
        Mismatch("CsvField left a special character unquoted");
    if (ModelCsvRead(written) != field) Mismatch("CsvField");

    std::vector<std::wstring> arguments;
    static const wchar_t* kWords[] = {L"/update", L"-UPDATE", L"/log", L"/timeout", L"/subfolders", L"/?", L"-x", L"",
                                      L"0", L"600", L"9999999", L"C:\\D"};
    const size_t words = in.ConsumeIntegralInRange<size_t>(0, 6);
    for (size_t i = 0; i < words; ++i)
        arguments.push_back(in.ConsumeBool() ? Text(in, 8) : kWords[in.ConsumeIntegralInRange<size_t>(0, 11)]);
    const CommandLine line = ParseCommandLine(arguments);
    if (line.action == CommandLine::Action::Update &&
        (line.folder.empty() || line.timeoutSeconds < 1 || line.timeoutSeconds > 7 * 24 * 3600))
        Mismatch("ParseCommandLine accepted a request it should not");
    if (line.action == CommandLine::Action::Invalid && line.error.empty()) Mismatch("ParseCommandLine gave no reason");
    if (arguments.empty() != (line.action == CommandLine::Action::Window)) Mismatch("ParseCommandLine window");
    return 0;
}
