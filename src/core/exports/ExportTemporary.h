#pragma once
// The temporary files the CAD system writes exports to before they take
// their targets' place: beside the target, with its extension (the CAD
// system picks the format from it), and named after the run of Kestrow that
// asked for them, so that a later run can tell a file left by a run that was
// killed from one a run still writes, and never touches anybody else's.
#include <cstdint>
#include <optional>
#include <string>

namespace kestrow {

// A run of Kestrow: its process and the process's start time, as the
// system counts it (ids are reused).
struct ExportRun {
    std::uint32_t process = 0;
    std::uint64_t started = 0;
    bool operator==(const ExportRun&) const = default;
};

// What finds them among a folder's files.
inline const wchar_t* const kTemporaryExportPattern = L"*.kestrow-*";

// "C:\P\a.pdf" -> "C:\P\a.kestrow-4312-01DB4C2A9F3E1200-7.pdf". `attempt` is
// a number of the run's own, new for each try: a try given up on may still
// write to its file while a later one makes the same export. The name stays
// within a file name's 255 characters, the target's own name cut if need be.
std::wstring TemporaryExportPath(const std::wstring& target, const ExportRun& run, std::uint64_t attempt);

// The run a file was written for, when its name is one that
// TemporaryExportPath gives; none for every other name.
std::optional<ExportRun> TemporaryExportOwner(const std::wstring& fileName);

}  // namespace kestrow
