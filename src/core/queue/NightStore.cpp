#include "queue/NightStore.h"

#include <cstdio>

#include "listing/Shard.h"

namespace kestrow {
namespace {

using Clock = std::chrono::steady_clock;

std::wstring Text(const SqlRow& row, size_t column) {
    return column < row.size() && row[column] ? *row[column] : std::wstring();
}

std::int64_t Number(const SqlRow& row, size_t column) {
    return column < row.size() ? SqlNumber(row[column]).value_or(0) : 0;
}

// "f", "false" or "0": a probe that returned no right.
bool SaysNo(const SqlResult& result) {
    if (result.rows.empty() || result.rows[0].empty() || !result.rows[0][0]) return false;
    const std::wstring& value = *result.rows[0][0];
    return value == L"0" || value == L"f" || value == L"false" || value == L"F" || value == L"FALSE";
}

// A statement of `head` and `count` times `row`, joined by ", ".
std::wstring Many(const std::wstring& head, const std::wstring& row, size_t count, const std::wstring& tail) {
    std::wstring statement = head;
    for (size_t i = 0; i < count; ++i) statement += (i > 0 ? L", " : L"") + row;
    return statement + tail;
}

std::chrono::microseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

}  // namespace

std::wstring FolderKey(const NightFolder& folder) {
    std::wstring name = folder.folder;
    while (!name.empty() && (name.back() == L'\\' || name.back() == L'/')) name.pop_back();
    wchar_t hex[24];
    std::swprintf(hex, 24, L"%016llx", static_cast<unsigned long long>(ShardHash(name)));
    return std::wstring(hex) + (folder.subfolders ? L"+s" : L"");
}

void NightStore::SetUpSession() {
    for (const std::wstring& statement : sql_.sessionSetup) connection_.Execute(statement);
}

bool NightStore::TablesPresent() {
    try {
        connection_.Execute(sql_.tablesPresent);
        return true;
    } catch (const DatabaseError& error) {
        if (error.Failure() == DatabaseFailure::NoTables) return false;
        throw;
    }
}

void NightStore::MakeTables() {
    // PostgreSQL makes them all or none; MariaDB commits each on its own,
    // so a table already made is left as it is.
    SqlTransaction transaction(connection_);
    for (const std::wstring& statement : sql_.createTables) connection_.Execute(statement);
    transaction.Commit();
}

std::vector<std::wstring> NightStore::MissingRights() {
    std::vector<std::wstring> missing;
    for (const NightSql::RightProbe& probe : sql_.rights) {
        // Each in a transaction of its own: on PostgreSQL a failed
        // statement spoils the transaction it is in.
        SqlTransaction transaction(connection_);
        try {
            if (SaysNo(connection_.Execute(probe.statement))) missing.push_back(probe.right);
        } catch (const DatabaseError& error) {
            if (error.Failure() != DatabaseFailure::NoRight) throw;
            missing.push_back(probe.right);
        }
    }
    return missing;
}

std::optional<NightFacts> NightStore::FactsOf(std::int64_t night, const std::wstring& computer) {
    const SqlResult result =
        connection_.Execute(sql_.nightFacts, {SqlValue::Of(computer), SqlValue::Of(computer), SqlValue::Of(night)});
    if (result.rows.empty()) return std::nullopt;
    const SqlRow& row = result.rows[0];
    NightFacts facts;
    facts.id = Number(row, 0);
    facts.open = Number(row, 1);
    facts.ageSeconds = row.size() > 2 ? SqlSeconds(row[2]).value_or(0) : 0;
    facts.joined = Number(row, 3) > 0;
    facts.completedHere = facts.joined && Text(row, 4) == kRunCompleted;
    return facts;
}

std::optional<NightFacts> NightStore::LatestNight(const NightFolder& folder, const std::wstring& computer) {
    const SqlResult result = connection_.Execute(sql_.folderNight, {SqlValue::Of(FolderKey(folder))});
    if (result.rows.empty()) return std::nullopt;
    return FactsOf(Number(result.rows[0], 0), computer);
}

std::int64_t NightStore::NewNight(const NightFolder& folder, const std::wstring& key, const std::wstring& computer,
                                  const std::vector<std::wstring>& names) {
    const SqlResult made = connection_.Execute(
        sql_.newNight, {SqlValue::Of(key), SqlValue::Of(folder.folder), SqlValue::Of(folder.subfolders ? 1 : 0),
                        SqlValue::Of(computer), SqlValue::Of(static_cast<std::int64_t>(names.size()))});
    const SqlResult id = sql_.newNightId.empty() ? made : connection_.Execute(sql_.newNightId);
    if (id.rows.empty() || !SqlNumber(id.rows[0].empty() ? std::nullopt : id.rows[0][0]))
        throw DatabaseError(DatabaseFailure::Other, L"the database gave the new night no number");
    const std::int64_t night = *SqlNumber(id.rows[0][0]);
    for (size_t first = 0; first < names.size(); first += kDraftsAStatement) {
        const size_t count = std::min(kDraftsAStatement, names.size() - first);
        std::vector<SqlValue> values;
        values.reserve(count * 3);
        for (size_t i = first; i < first + count; ++i) {
            values.push_back(SqlValue::Of(night));
            values.push_back(SqlValue::Of(static_cast<std::int64_t>(i + 1)));
            values.push_back(SqlValue::Of(names[i]));
        }
        connection_.Execute(Many(sql_.draftsHead, sql_.draftsRow, count, L""), values);
    }
    return night;
}

OpenedNight NightStore::OpenNight(const NightFolder& folder, const std::wstring& computer,
                                  const std::function<std::vector<std::wstring>()>& list) {
    const std::wstring key = FolderKey(folder);
    OpenedNight opened;
    SqlTransaction transaction(connection_);
    connection_.Execute(sql_.ensureFolder, {SqlValue::Of(key), SqlValue::Of(folder.folder)});
    const SqlResult locked = connection_.Execute(sql_.lockFolder, {SqlValue::Of(key)});
    const std::optional<std::int64_t> latest =
        locked.rows.empty() || locked.rows[0].empty() ? std::nullopt : SqlNumber(locked.rows[0][0]);
    const std::optional<NightFacts> facts = latest ? FactsOf(*latest, computer) : std::nullopt;
    if (ChooseNight(facts) == NightChoice::ListAnew) {
        opened.night = NewNight(folder, key, computer, list());
        opened.listedHere = true;
        connection_.Execute(sql_.setFolderNight, {SqlValue::Of(opened.night), SqlValue::Of(key)});
    } else {
        opened.night = facts->id;
    }
    connection_.Execute(sql_.joinNight, {SqlValue::Of(opened.night), SqlValue::Of(computer)});
    for (const SqlRow& row : connection_.Execute(sql_.openDrafts, {SqlValue::Of(opened.night)}).rows)
        opened.open.push_back(OpenDraft{static_cast<std::int32_t>(Number(row, 0)), Text(row, 1)});
    transaction.Commit();
    return opened;
}

std::optional<TakenDraft> NightStore::TakeInTransaction(std::int64_t night, const std::wstring& computer,
                                                        const std::wstring& holder, std::int64_t leaseSeconds) {
    if (sql_.claimInOneStatement) {
        const SqlResult taken = connection_.Execute(
            sql_.claim, {SqlValue::Of(computer), SqlValue::Of(holder), SqlValue::Of(leaseSeconds), SqlValue::Of(night),
                         SqlValue::Of(night)});
        if (taken.rows.empty()) return std::nullopt;
        const SqlRow& row = taken.rows[0];
        return TakenDraft{static_cast<std::int32_t>(Number(row, 0)), static_cast<std::int32_t>(Number(row, 1)),
                          Text(row, 2)};
    }
    const SqlResult picked = connection_.Execute(sql_.claimPick, {SqlValue::Of(night)});
    if (picked.rows.empty()) return std::nullopt;
    const SqlRow& row = picked.rows[0];
    TakenDraft draft{static_cast<std::int32_t>(Number(row, 0)), static_cast<std::int32_t>(Number(row, 1) + 1),
                     Text(row, 2)};
    connection_.Execute(sql_.claimTake, {SqlValue::Of(computer), SqlValue::Of(holder), SqlValue::Of(leaseSeconds),
                                         SqlValue::Of(night), SqlValue::Of(draft.number)});
    return draft;
}

std::optional<TakenDraft> NightStore::Take(std::int64_t night, const std::wstring& computer, const std::wstring& holder,
                                           std::int64_t leaseSeconds) {
    if (sql_.claimInOneStatement) return TakeInTransaction(night, computer, holder, leaseSeconds);
    SqlTransaction transaction(connection_);
    std::optional<TakenDraft> draft = TakeInTransaction(night, computer, holder, leaseSeconds);
    transaction.Commit();
    return draft;
}

bool NightStore::Renew(std::int64_t night, std::int32_t number, const std::wstring& holder, std::int64_t leaseSeconds) {
    return connection_
               .Execute(sql_.renew, {SqlValue::Of(leaseSeconds), SqlValue::Of(night), SqlValue::Of(number),
                                     SqlValue::Of(holder)})
               .affected > 0;
}

bool NightStore::Stored(std::int64_t night, std::int32_t number, const std::wstring& computer,
                        const std::wstring& holder) {
    return connection_
               .Execute(sql_.stored, {SqlValue::Of(computer), SqlValue::Of(holder), SqlValue::Of(night),
                                      SqlValue::Of(number), SqlValue::Of(holder)})
               .affected > 0;
}

bool NightStore::Failed(std::int64_t night, std::int32_t number, const std::wstring& holder, const std::wstring& error) {
    return connection_
               .Execute(sql_.failed,
                        {SqlValue::Of(error), SqlValue::Of(night), SqlValue::Of(number), SqlValue::Of(holder)})
               .affected > 0;
}

bool NightStore::Release(std::int64_t night, std::int32_t number, const std::wstring& holder, bool untried) {
    return connection_
               .Execute(sql_.release, {SqlValue::Of(untried ? 1 : 0), SqlValue::Of(night), SqlValue::Of(number),
                                       SqlValue::Of(holder)})
               .affected > 0;
}

NightProgress NightStore::Progress(std::int64_t night) {
    const SqlResult result = connection_.Execute(sql_.progress, {SqlValue::Of(night)});
    NightProgress progress;
    if (result.rows.empty()) return progress;
    const SqlRow& row = result.rows[0];
    progress.waiting = Number(row, 0);
    progress.taken = Number(row, 1);
    progress.stored = Number(row, 2);
    progress.failed = Number(row, 3);
    if (row.size() > 4)
        if (const std::optional<std::int64_t> ms = SqlNumber(row[4])) progress.soonestLeaseEnds = std::chrono::milliseconds(*ms);
    return progress;
}

void NightStore::Leave(std::int64_t night, const std::wstring& computer, const std::wstring& how) {
    connection_.Execute(sql_.leaveNight, {SqlValue::Of(how), SqlValue::Of(night), SqlValue::Of(computer)});
}

void NightStore::SendRows(std::int64_t night, const std::vector<SentRow>& rows) {
    for (size_t first = 0; first < rows.size(); first += kRowsAStatement) {
        const size_t count = std::min(kRowsAStatement, rows.size() - first);
        std::vector<SqlValue> values;
        values.reserve(count * 16);
        for (size_t i = first; i < first + count; ++i) {
            const SentRow& sent = rows[i];
            const LogRow& r = sent.row;
            for (SqlValue value : {SqlValue::Of(night), SqlValue::Of(sent.computer), SqlValue::Of(sent.sender),
                                   SqlValue::Of(static_cast<std::int64_t>(sent.seq)), SqlValue::Of(r.time),
                                   SqlValue::Of(r.result), SqlValue::Of(r.file), SqlValue::Of(r.error),
                                   SqlValue::Of(r.source), SqlValue::Of(r.description), SqlValue::Of(r.run),
                                   SqlValue::Of(r.seconds), SqlValue::Of(r.size), SqlValue::Of(r.written),
                                   SqlValue::Of(r.session), SqlValue::Of(r.detail)})
                values.push_back(std::move(value));
        }
        connection_.Execute(Many(sql_.rowsHead, sql_.rowsRow, count, sql_.rowsTail), values);
    }
}

std::vector<SentRow> NightStore::RowsOf(std::int64_t night) {
    std::vector<SentRow> rows;
    for (const SqlRow& row : connection_.Execute(sql_.nightRows, {SqlValue::Of(night)}).rows) {
        SentRow sent;
        sent.computer = Text(row, 0);
        sent.sender = Text(row, 1);
        sent.seq = static_cast<std::int32_t>(Number(row, 2));
        LogRow& r = sent.row;
        r.time = Text(row, 3);
        r.result = Text(row, 4);
        r.file = Text(row, 5);
        r.error = Text(row, 6);
        r.source = Text(row, 7);
        r.description = Text(row, 8);
        r.run = Text(row, 9);
        r.seconds = Text(row, 10);
        r.size = Text(row, 11);
        r.written = Text(row, 12);
        r.session = Text(row, 13);
        r.detail = Text(row, 14);
        rows.push_back(std::move(sent));
    }
    return rows;
}

std::vector<NightDraft> NightStore::DraftsOf(std::int64_t night) {
    std::vector<NightDraft> drafts;
    for (const SqlRow& row : connection_.Execute(sql_.nightDrafts, {SqlValue::Of(night)}).rows)
        drafts.push_back(NightDraft{static_cast<std::int32_t>(Number(row, 0)), Text(row, 1), Text(row, 2),
                                    Text(row, 3), Text(row, 5), static_cast<std::int32_t>(Number(row, 4))});
    return drafts;
}

std::optional<std::pair<std::int64_t, std::wstring>> NightStore::ReportedNight(
    const std::optional<NightFolder>& folder) {
    const SqlResult result = folder ? connection_.Execute(sql_.folderNight, {SqlValue::Of(FolderKey(*folder))})
                                    : connection_.Execute(sql_.latestNight);
    if (result.rows.empty()) return std::nullopt;
    return std::make_pair(Number(result.rows[0], 0), Text(result.rows[0], 1));
}

std::optional<NightDraft> NightStore::NextToTake(std::int64_t night) {
    const SqlResult result = connection_.Execute(sql_.nextToTake, {SqlValue::Of(night)});
    if (result.rows.empty()) return std::nullopt;
    const SqlRow& row = result.rows[0];
    return NightDraft{static_cast<std::int32_t>(Number(row, 0)), Text(row, 1), Text(row, 2), Text(row, 3), {}, 0};
}

NightStore::RoundTrip NightStore::TryRoundTrip(const std::wstring& computer) {
    RoundTrip trip;
    const std::wstring holder = computer + L"/check";
    SqlTransaction transaction(connection_);
    Clock::time_point start = Clock::now();
    const NightFolder scratch{L"\\\\kestrow-check\\" + computer + L"\\", false};
    const std::int64_t night = NewNight(scratch, FolderKey(scratch), computer, {L"check.dft"});
    trip.make = Since(start);
    start = Clock::now();
    const std::optional<TakenDraft> taken = TakeInTransaction(night, computer, holder, 60);
    trip.take = Since(start);
    if (!taken) throw DatabaseError(DatabaseFailure::Other, L"the draft just listed could not be taken");
    start = Clock::now();
    const bool renewed = Renew(night, taken->number, holder, 60);
    trip.renew = Since(start);
    start = Clock::now();
    const bool stored = Stored(night, taken->number, computer, holder);
    trip.store = Since(start);
    if (!renewed || !stored) throw DatabaseError(DatabaseFailure::Other, L"the draft just taken was not this computer's");
    // Rolled back: the check leaves no night behind.
    return trip;
}

}  // namespace kestrow
