#pragma once
// The unattended run's CSV log: its layouts, its rows, and reading it back.
// The first logs had six columns; then rows added the run they belong to,
// the seconds a draft took, and the stored draft's size and last-write time,
// so that a later run can tell what it need not redo; this version's add the
// session that did the draft and a row's details. A log keeps the layout it
// was started with: what reads its columns keeps working.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

enum class LogLayout {
    SixColumns,   // time,result,file,error,source,description
    WithRuns,     // the same six, then run,seconds,size,written
    WithDetails,  // those ten, then session,detail
};
constexpr LogLayout kNewLogLayout = LogLayout::WithDetails;

// Whether rows of the layout carry their run (and so run rows are written).
inline bool RecordsRuns(LogLayout layout) { return layout != LogLayout::SixColumns; }

std::wstring LogHeaderFor(LogLayout layout);

// The layout a log's first line announces, a leading byte-order mark
// skipped; none when the line is no Kestrow log header.
std::optional<LogLayout> LogLayoutOf(const std::wstring& firstLine);

// The `result` column.
namespace LogResult {
inline const wchar_t* const Stored = L"stored";
inline const wchar_t* const Failed = L"failed";
inline const wchar_t* const NotReached = L"not-reached";
inline const wchar_t* const InHand = L"in-hand";        // written before the draft is opened
inline const wchar_t* const Unreadable = L"unreadable"; // file: a folder of the tree that could not be read
inline const wchar_t* const RunStart = L"run-start";    // file: the folder; description: the run's share
inline const wchar_t* const RunResume = L"run-resume";  // the same run, taken up again
inline const wchar_t* const RunEnd = L"run-end";        // description: how it ended
// The CAD system showed a dialog during a call: file, the draft; source, the
// dialog's title; description, its text; detail: buttons, action, picture.
inline const wchar_t* const Dialog = L"dialog";
// A copy of a draft that an earlier run kept, named as a run starts: file,
// the draft; detail: copy, replaced (the version a put back replaced, when
// one was kept beside the copy), left by (the run that left it).
inline const wchar_t* const KeptCopy = L"kept-copy";
// Such a copy deleted with its record, as the draft was stored again (or
// is as the copy): the same columns.
inline const wchar_t* const RetiredCopy = L"retired-copy";
// A draft whose file was listed under another name too, and done under that
// one: file, this name; detail: done under (the other name's path). That
// name's row tells the fate of both.
inline const wchar_t* const SameFile = L"same-file";
// Something the run said that tells no draft's fate, such as how a session
// of the CAD system was started: description, what it said; session, the
// one it is about (none: the whole run).
inline const wchar_t* const Note = L"note";
// A stored draft saved as another format too, one row an export, after the
// draft's own: file, the draft; detail: to (the exported file), format,
// size (in bytes).
inline const wchar_t* const Exported = L"exported";
// An export that was not made or could not take its target's place: file,
// the draft (stored all the same); error, source and description as for a
// failed draft; detail: to, format.
inline const wchar_t* const ExportFailed = L"export-failed";
}  // namespace LogResult

// Whether a row of this result tells its draft's (or folder's) fate: the
// last such row of a file in a run does. Rows about its copies, dialogs or the run say more
// about it, and come after it as they happen.
bool TellsAFate(const std::wstring& result);

// How a run ended, in a run-end row: only "completed" is a run that needs
// no resuming.
inline const wchar_t* const kRunCompleted = L"completed";

struct LogRow {
    std::wstring time, result, file, error, source, description;
    std::wstring run, seconds, size, written;
    std::wstring session, detail;
};

// A row's detail: named parts, written "name: value" and joined by " | ".
// A "|" in a value (no path holds one) is written as "/".
struct DetailPart {
    std::wstring name, value;
};
std::wstring FormatDetail(const std::vector<DetailPart>& parts);
std::vector<DetailPart> ParseDetail(const std::wstring& detail);
// Each part's name and value in turn, read in place.
void ForEachDetailPart(const std::wstring& detail,
                       const std::function<void(std::wstring_view name, std::wstring_view value)>& part);
// The value of the part named `name`, "" when there is none.
std::wstring DetailValue(const std::wstring& detail, const std::wstring& name);

// One line, without its line break, with the layout's columns.
std::wstring FormatLogRow(const LogRow& row, LogLayout layout);

// "3.250": seconds with milliseconds.
std::wstring SecondsText(double seconds);

// Reads CSV records one by one; a quoted field may hold commas, quotes and
// line breaks. A log is read through LogRowReader, which knows torn rows.
class CsvReader {
public:
    explicit CsvReader(const std::wstring& text, size_t from = 0);
    // The next record's fields; false at the end of the text.
    bool Next(std::vector<std::wstring>& fields);
    // Where the next record starts, and a move there, as a reader that
    // skips a record cut short needs.
    size_t Offset() const { return at_; }
    void Seek(size_t at) { at_ = at; }

private:
    const std::wstring& text_;
    size_t at_ = 0;
};

// How many fields a row of the layout has.
size_t ColumnsOf(LogLayout layout);

// A log's rows as every reader of it takes them. A row with another number
// of fields than the layout's was cut short (by a power cut, perhaps inside
// quotes): it is left out and counted, and what follows its first line
// break is read afresh, so that a quote it left open takes no later row
// with it. A blank line is no row, torn or not.
class LogRowReader {
public:
    LogRowReader(const std::wstring& text, size_t from, LogLayout layout);
    // The next whole row; false at the end of the text.
    bool Next(std::vector<std::wstring>& fields);
    std::int64_t TornRows() const { return torn_; }

private:
    const std::wstring& text_;
    CsvReader csv_;
    size_t columns_;
    std::int64_t torn_ = 0;
};

}  // namespace kestrow
