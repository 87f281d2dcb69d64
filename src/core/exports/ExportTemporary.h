#pragma once
// Kestrow's temporary files: those the CAD system writes exports to before
// they take their targets' place, and the copy of a draft a check works on.
// Each stands beside its target, with its extension (the CAD system picks
// the format from it), named after the computer and the run of Kestrow that
// made it, so that a later run can tell a file left by a run that was
// killed from one a run still writes, on this computer or on another that
// shares the folder, and never touches anybody else's; and no listing of
// drafts ever takes one.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

// A run of Kestrow: its computer, its process and the process's start time,
// as the system counts it (ids are reused). Names written by earlier
// versions carry no computer.
struct ExportRun {
    std::optional<std::uint32_t> computer;
    std::uint32_t process = 0;
    std::uint64_t started = 0;
    bool operator==(const ExportRun&) const = default;
};

// A short mark of a computer's name, the same whatever its case: only this
// computer can tell whether one of its runs still runs, so a temporary name
// says which computer wrote it.
std::uint32_t ComputerMark(std::wstring_view computerName);

// What finds them among a folder's files.
inline const wchar_t* const kTemporaryExportPattern = L"*.kestrow-*";

// "C:\P\a.pdf" -> "C:\P\a.kestrow-9E3A51C0-4312-01DB4C2A9F3E1200-7.pdf"
// (computer, process, start). `attempt` is a number of the run's own, new
// for each try: a try given up on may still write to its file while a later
// one makes the same export. The name stays within a file name's 255
// characters, the target's own name cut if need be.
std::wstring TemporaryExportPath(const std::wstring& target, const ExportRun& run, std::uint64_t attempt);

// The run a file was written for, when its name is one that
// TemporaryExportPath gives for an export or a draft (a check's copy), or
// one an earlier version gave without the computer
// ("a.kestrow-4312-01DB4C2A9F3E1200-7.pdf"); none for every other name.
std::optional<ExportRun> TemporaryExportOwner(const std::wstring& fileName);

// How long another computer's temporary file must have gone unwritten
// before it counts as left over: that computer's runs cannot be looked at
// from here, and no export takes a day.
inline constexpr std::chrono::hours kOtherComputersLeftoverAge{24};

// Whether a temporary file of `owner`'s, last written `sinceLastWrite` ago,
// is left over and may be removed by `self`: one of this computer's once its
// run has ended (`runs` looks), another computer's, or an earlier version's
// (which named no computer, and may be any), once it has gone unwritten for
// kOtherComputersLeftoverAge. Never the file of `self`.
bool IsLeftOverExport(const ExportRun& owner, const ExportRun& self, std::chrono::seconds sinceLastWrite,
                      const std::function<bool(const ExportRun&)>& runs);

}  // namespace kestrow
