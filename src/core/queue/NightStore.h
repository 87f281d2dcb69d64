#pragma once
// A shared night as the database keeps it: Kestrow's tables made or found
// with their rights, the night chosen or listed under the folder's lock,
// drafts taken, renewed, settled and given back, the log's rows sent and
// read back. Each call is one statement or one transaction on the
// connection it is given; the decisions are QueueRules'. Raises
// DatabaseError.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "queue/NightSql.h"
#include "queue/QueueRules.h"
#include "unattended/RunLog.h"

namespace kestrow {

// Which night a run means: the folder as named on every computer (the same
// drive letter or \\server\share path), with its subfolders or not.
struct NightFolder {
    std::wstring folder;  // full, ending with "\"
    bool subfolders = false;
};
// The folder's key in the database: its name folded to upper case and
// hashed as the shares are, with "+s" for subfolders.
std::wstring FolderKey(const NightFolder& folder);

// The drafts of the night not yet done when a computer joined it, by their
// number in the night's list.
struct OpenDraft {
    std::int32_t number = 0;
    std::wstring name;  // relative to the folder
};

struct OpenedNight {
    std::int64_t night = 0;
    bool listedHere = false;  // this computer listed it just now
    std::vector<OpenDraft> open;
};

struct TakenDraft {
    std::int32_t number = 0;
    std::int32_t tries = 0;     // this take included
    std::wstring previous;      // the computer that had it before, "" for none
};

struct NightProgress {
    std::int64_t waiting = 0, taken = 0, stored = 0, failed = 0;
    // Until the soonest lease of a draft in hand runs out (negative: ran out).
    std::optional<std::chrono::milliseconds> soonestLeaseEnds;
    std::int64_t Total() const { return waiting + taken + stored + failed; }
};

// A row of the log as the database keeps it: who sent it, in what order.
struct SentRow {
    std::wstring computer, sender;
    std::int32_t seq = 0;
    LogRow row;
};

// Every draft of a night as the database holds it now.
struct NightDraft {
    std::int32_t number = 0;
    std::wstring name, state, computer, error;
    std::int32_t tries = 0;
};

class NightStore {
public:
    explicit NightStore(SqlConnection& connection)
        : connection_(connection), sql_(NightSqlFor(connection.Engine())) {}

    // Runs the engine's settings of a new connection.
    void SetUpSession();
    // Whether Kestrow's tables are there.
    bool TablesPresent();
    // Makes them, each in turn. Raises DatabaseError (NoRight when the user
    // may not).
    void MakeTables();
    // The rights a night needs that the user lacks, named ("UPDATE on
    // kestrow_draft"); empty when it has them all. Changes nothing.
    std::vector<std::wstring> MissingRights();

    // Under the folder's lock, so that computers arriving together list the
    // night once: joins the folder's latest night, or lists a new one with
    // the names `list` gives (called only then, inside the lock).
    OpenedNight OpenNight(const NightFolder& folder, const std::wstring& computer,
                          const std::function<std::vector<std::wstring>()>& list);
    // The latest night of the folder, as this computer would find it (no lock).
    std::optional<NightFacts> LatestNight(const NightFolder& folder, const std::wstring& computer);

    // Takes the next draft nobody holds (waiting, or its lease ran out) for
    // `leaseSeconds`; none when every draft is done or in hand.
    std::optional<TakenDraft> Take(std::int64_t night, const std::wstring& computer, const std::wstring& holder,
                                   std::int64_t leaseSeconds);
    // Each returns whether the draft was still the holder's (stored: or
    // not yet done by anybody).
    bool Renew(std::int64_t night, std::int32_t number, const std::wstring& holder, std::int64_t leaseSeconds);
    bool Stored(std::int64_t night, std::int32_t number, const std::wstring& computer, const std::wstring& holder);
    bool Failed(std::int64_t night, std::int32_t number, const std::wstring& holder, const std::wstring& error);
    // Back to waiting; `untried`: it was never opened, and the take does not count.
    bool Release(std::int64_t night, std::int32_t number, const std::wstring& holder, bool untried);
    NightProgress Progress(std::int64_t night);
    // How this computer's run over the night ended ("completed", ...).
    void Leave(std::int64_t night, const std::wstring& computer, const std::wstring& how);

    void SendRows(std::int64_t night, const std::vector<SentRow>& rows);
    std::vector<SentRow> RowsOf(std::int64_t night);
    std::vector<NightDraft> DraftsOf(std::int64_t night);
    // The night of the folder, or the latest of all without one: its id and folder.
    std::optional<std::pair<std::int64_t, std::wstring>> ReportedNight(const std::optional<NightFolder>& folder);
    // The draft a computer would take next, and its state ("waiting", or
    // "taken" with a lapsed lease, and by whom).
    std::optional<NightDraft> NextToTake(std::int64_t night);

    // A claim's round trip, undone: a night of one draft made, taken,
    // renewed and stored in one transaction that is rolled back. The time
    // each step took.
    struct RoundTrip {
        std::chrono::microseconds make{}, take{}, renew{}, store{};
    };
    RoundTrip TryRoundTrip(const std::wstring& computer);

    // Rows of one statement at most, as each row has sixteen parameters.
    static constexpr size_t kRowsAStatement = 50;
    static constexpr size_t kDraftsAStatement = 300;

private:
    std::optional<TakenDraft> TakeInTransaction(std::int64_t night, const std::wstring& computer,
                                                const std::wstring& holder, std::int64_t leaseSeconds);
    std::optional<NightFacts> FactsOf(std::int64_t night, const std::wstring& computer);
    std::int64_t NewNight(const NightFolder& folder, const std::wstring& key, const std::wstring& computer,
                          const std::vector<std::wstring>& names);

    SqlConnection& connection_;
    const NightSql& sql_;
};

}  // namespace kestrow
