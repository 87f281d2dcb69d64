// The decisions of a night shared through a database, by table: the lease,
// the tries, which night a run joins, waiting and the database's outage,
// what is sent again; a connection string's password kept out of sight; the
// tables' script shipped as Kestrow runs it.
#include <gtest/gtest.h>

#include <cwchar>
#include <fstream>
#include <sstream>

#include "check/DatabaseFindings.h"
#include "common/ConnectionText.h"
#include "queue/NightSql.h"
#include "queue/DatabaseFailures.h"
#include "queue/DraftLease.h"
#include "queue/NightReport.h"
#include "queue/UnsentFile.h"
#include "queue/NightStore.h"
#include "queue/QueueRules.h"

using namespace kestrow;
using namespace std::chrono_literals;

namespace {

LeasePolicy Lease(std::chrono::seconds length) {
    LeasePolicy policy;
    policy.length = length;
    return policy;
}

}  // namespace

TEST(QueueRules, TheLeaseIsRenewedAfterAThirdAndForbidsTheStoreWithLessThanAThirdLeft) {
    const QueueClock::time_point confirmed{};
    struct Case {
        QueueClock::duration since;
        bool lost;
        LeaseStanding standing;
    } cases[] = {
        {0s, false, LeaseStanding::Held},
        {9900ms, false, LeaseStanding::Held},
        {10s, false, LeaseStanding::RenewDue},
        {19900ms, false, LeaseStanding::RenewDue},  // the store still has 10 s
        {20s, false, LeaseStanding::Forfeit},       // less than a third left: no store
        {1h, false, LeaseStanding::Forfeit},
        {1s, true, LeaseStanding::Forfeit},  // another computer holds it
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeLease(Lease(30s), confirmed, confirmed + c.since, c.lost), c.standing)
            << std::chrono::duration<double>(c.since).count() << " s, lost " << c.lost;
}

TEST(QueueRules, ADraftTakenThreeTimesByComputersThatStoppedFailsAtTheFourth) {
    EXPECT_EQ(JudgeTake(1), TakeVerdict::Work);
    EXPECT_EQ(JudgeTake(3), TakeVerdict::Work);
    EXPECT_EQ(JudgeTake(4), TakeVerdict::FailTooOften);
    EXPECT_EQ(TakenTooOftenText(4, L"WS2"),
              L"Taken 3 times by computers that stopped before it was done (the last: WS2); Kestrow takes it no "
              L"more, as the next computer would most likely stop on it too.");
}

TEST(QueueRules, ARunJoinsAnOpenNightOrTonightsFinishedOneAndListsAnewOtherwise) {
    const auto facts = [](std::int64_t open, double hours, bool joined, bool completedHere) {
        return std::optional<NightFacts>(NightFacts{7, open, hours * 3600, joined, completedHere});
    };
    struct Case {
        std::optional<NightFacts> latest;
        NightChoice choice;
        const char* why;
    } cases[] = {
        {std::nullopt, NightChoice::ListAnew, "no night yet"},
        {facts(5, 30, true, true), NightChoice::Join, "drafts left: a night cut short is continued, however old"},
        {facts(0, 1, true, true), NightChoice::ListAnew, "this computer saw it done: the same command again"},
        {facts(0, 1, true, false), NightChoice::Join, "its run there was cut short: nothing is done twice"},
        {facts(0, 1, false, false), NightChoice::Join, "a late computer finds tonight's night done"},
        {facts(0, 13, false, false), NightChoice::ListAnew, "yesterday's night: the first computer lists tonight's"},
    };
    for (const Case& c : cases) EXPECT_EQ(ChooseNight(c.latest), c.choice) << c.why;
}

TEST(QueueRules, AFreeSessionWaitsOnOthersLeasesAndLooksAgainJustAfterTheSoonestEnds) {
    EXPECT_EQ(WhenNoneTaken(1, 0), IdleStep::TakeAgain);
    EXPECT_EQ(WhenNoneTaken(0, 2), IdleStep::Wait);
    EXPECT_EQ(WhenNoneTaken(0, 0), IdleStep::NightDone);
    struct Case {
        std::chrono::seconds lease;
        std::optional<std::chrono::milliseconds> soonest;
        QueueClock::duration wait;
    } cases[] = {
        {300s, std::nullopt, 1s},     // at most a second, to see the night's end soon
        {2s, std::nullopt, 500ms},    // a quarter of a short lease
        {3s, 1500ms, 750ms},
        {300s, 600ms, 700ms},         // just after the soonest lease runs out
        {300s, -200ms, 100ms},        // ran out already: take it now
        {300s, 60000ms, 1s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WaitBeforeLookingAgain(Lease(c.lease), c.soonest), c.wait)
            << c.lease.count() << " s lease, soonest " << (c.soonest ? c.soonest->count() : -1);
}

TEST(QueueRules, ADatabaseThatWentAwayIsTriedAgainForTwiceTheLeaseThenGivenUp) {
    const QueueClock::time_point since{};
    struct Case {
        std::chrono::seconds lease;
        QueueClock::duration after;
        std::int32_t tries;
        bool giveUp;
        QueueClock::duration retryIn;
    } cases[] = {
        {30s, 0s, 0, false, 250ms},    // a dropped connection comes back at once
        {30s, 2s, 3, false, 2s},       // then less often
        {30s, 30s, 10, false, 10s},    // and at most every 10 s
        {30s, 59500ms, 10, false, 500ms},  // once more at the end of the wait
        {30s, 60s, 11, true, 0s},
        {3s, 9s, 4, false, 1s},   // a short lease still waits 10 s
        {3s, 10s, 4, true, 0s},
    };
    for (const Case& c : cases) {
        const OutageStep step = JudgeOutage(Lease(c.lease), since, since + c.after, c.tries);
        EXPECT_EQ(step.giveUp, c.giveUp) << std::chrono::duration<double>(c.after).count();
        if (!c.giveUp) EXPECT_EQ(step.retryIn, c.retryIn) << std::chrono::duration<double>(c.after).count();
    }
}

TEST(QueueRules, WhatTheDatabaseMissedIsSentOnItsReturnAndKeptForTheNextRunOnlyWhenItStillMatters) {
    struct Case {
        Unsent kind;
        bool send, keep;
    } cases[] = {
        {Unsent::Row, true, true},
        {Unsent::StoredFate, true, true},  // else another computer would store it again
        {Unsent::FailedFate, true, true},
        {Unsent::Release, true, false},  // by the next run its lease has lapsed anyway
        {Unsent::Renewal, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResendOf(c.kind).sendOnReturn, c.send) << static_cast<int>(c.kind);
        EXPECT_EQ(ResendOf(c.kind).keepForNextRun, c.keep) << static_cast<int>(c.kind);
    }
}

TEST(ConnectionText, APasswordIsFoundInAnyCaseAndBracesAndNeverShown) {
    EXPECT_TRUE(HoldsPassword(L"DRIVER={PostgreSQL Unicode};SERVER=db;PWD=s3cret"));
    EXPECT_TRUE(HoldsPassword(L"dsn=night;pwd={a;b}}c}"));
    EXPECT_TRUE(HoldsPassword(L"Server=db; Password = x;"));
    EXPECT_FALSE(HoldsPassword(L"DSN=night"));
    EXPECT_FALSE(HoldsPassword(L"DSN=night;PWD=;"));
    EXPECT_FALSE(HoldsPassword(L"DRIVER={x;PWD=y};SERVER=db"));  // inside another value

    EXPECT_EQ(WithoutPassword(L"DRIVER={PostgreSQL Unicode};PWD={a;b}}c};UID=k"),
              L"DRIVER={PostgreSQL Unicode};PWD=***;UID=k");
    const std::wstring connection = L"DSN=night;UID=k;PWD={p;w}";
    EXPECT_EQ(ScrubPassword(L"login failed for k with p;w (conn: DSN=night;PWD=other;SERVER=x)", connection),
              L"login failed for k with *** (conn: DSN=night;PWD=***;SERVER=x)");
    EXPECT_NE(ConnectionProblem(L""), L"");
    EXPECT_NE(ConnectionProblem(L"just words"), L"");
    EXPECT_EQ(ConnectionProblem(L"DSN=night"), L"");
}

TEST(NightSql, TheShippedTablesAreTheStatementsKestrowRuns) {
    for (const auto& [file, sql] : {std::pair{"postgresql", &PostgreSqlStatements()},
                                    std::pair{"mariadb", &MariaDbStatements()}}) {
        std::ifstream in(std::string(KESTROW_SOURCE_DIR) + "/sql/" + file + "/kestrow-tables.sql", std::ios::binary);
        ASSERT_TRUE(in) << file;
        std::string line, statements;
        while (std::getline(in, line))
            if (line.rfind("--", 0) != 0 && !(statements.empty() && line.empty())) statements += line + "\n";
        std::string expected;
        for (wchar_t c : TablesScript(*sql)) expected += static_cast<char>(c);
        EXPECT_EQ(statements, expected) << file;
    }
}

TEST(NightStore, AFolderIsOneNightWhateverItsCaseOrLastBackslashAndItsSubfoldersAnother) {
    EXPECT_EQ(FolderKey({L"P:\\Drawings\\", false}), FolderKey({L"p:\\DRAWINGS", false}));
    EXPECT_NE(FolderKey({L"P:\\Drawings\\", false}), FolderKey({L"P:\\Drawings\\", true}));
    EXPECT_NE(FolderKey({L"P:\\Drawings\\", false}), FolderKey({L"P:\\Drawings 2\\", false}));
    EXPECT_LE(FolderKey({std::wstring(40000, L'x'), true}).size(), 40u);  // the key's column
}

TEST(CheckDatabase, OnlyWhatWouldStopANightIsAProblem) {
    const auto marks = [](const DatabaseFacts& facts) {
        std::wstring marks;
        for (const Finding& finding : DatabaseFindings(facts))
            marks += finding.topic + (finding.mark == FindingMark::Ok ? L":ok " : finding.mark == FindingMark::Note ? L":note " : L":problem ");
        return marks;
    };
    DatabaseFacts facts;
    facts.failure = L"login failed";
    EXPECT_EQ(marks(facts), L"database:problem ");
    facts.engine = L"PostgreSQL 15";
    facts.failure.clear();
    EXPECT_EQ(marks(facts), L"database:ok tables:note ") << "the first night makes them if it may";
    facts.tablesPresent = true;
    facts.missingRights = {L"UPDATE on kestrow_draft"};
    EXPECT_EQ(marks(facts), L"database:ok tables:ok rights:problem ");
    facts.missingRights.clear();
    facts.failure = L"deadlock";
    EXPECT_EQ(marks(facts), L"database:ok tables:ok rights:ok take a draft:problem ");
    facts.tripMilliseconds = 3.2;
    EXPECT_EQ(marks(facts), L"database:ok tables:ok rights:ok take a draft:ok ");
}

// A draft a computer had in hand when it died, and another stored later,
// counts once, as the other's; each computer's runs are its senders.
TEST(NightReport, EachDraftCountsOnceWithTheComputerThatSaidTheLastOfIt) {
    const auto row = [](const wchar_t* computer, const wchar_t* sender, const wchar_t* time, const wchar_t* result,
                        const wchar_t* file) {
        SentRow sent;
        sent.computer = computer;
        sent.sender = sender;
        sent.row.time = std::wstring(L"2026-12-07T02:") + time + L"+01:00";
        sent.row.result = result;
        sent.row.file = file;
        return sent;
    };
    const std::vector<SentRow> rows = {
        row(L"WS1", L"WS1/7/a", L"00:00", LogResult::RunStart, L"P:\\D\\"),
        row(L"WS1", L"WS1/7/a", L"00:01", LogResult::InHand, L"P:\\D\\a.dft"),
        row(L"WS1", L"WS1/7/a", L"00:02", LogResult::Stored, L"P:\\D\\a.dft"),
        row(L"WS1", L"WS1/7/a", L"00:03", LogResult::InHand, L"P:\\D\\b.dft"),  // then it died
        row(L"WS2", L"WS2/5/c", L"00:00", LogResult::RunStart, L"P:\\D\\"),
        row(L"WS2", L"WS2/5/c", L"00:09", LogResult::InHand, L"P:\\D\\B.DFT"),  // taken again
        row(L"WS2", L"WS2/5/c", L"00:09", LogResult::Stored, L"P:\\D\\B.DFT"),
        row(L"WS2", L"WS2/5/c", L"00:10", LogResult::RunEnd, L"P:\\D\\"),
        row(L"WS1", L"WS1/9/b", L"05:00", LogResult::RunStart, L"P:\\D\\"),  // back, the night done
        row(L"WS1", L"WS1/9/b", L"05:01", LogResult::RunEnd, L"P:\\D\\"),
    };
    const std::vector<ReportSource> sources = NightSources(rows);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].name, L"WS1");
    EXPECT_EQ(sources[0].log.runs.size(), 2u) << "two runs of WS1 in the night";
    EXPECT_EQ(SourcesText(sources), L"2 computers");
    const NightTotals totals = TotalsOf(sources);
    EXPECT_EQ(totals.fates.stored, 2);
    EXPECT_EQ(totals.fates.inHand, 0) << "b is WS2's, stored";
    EXPECT_EQ(sources[1].log.runs[0].drafts.size(), 1u);
}

// What drivers said here decides between trying again and refusing at once.
TEST(DatabaseFailures, ADriversWordsSayWhetherToTryAgainOrToRefuse) {
    struct Case {
        const wchar_t* state;
        long native;
        const wchar_t* message;
        bool connecting;
        DatabaseFailure failure;
    } cases[] = {
        {L"08001", 101, L"connection to server at \"127.0.0.1\", port 25432 failed: FATAL:  password authentication "
                        L"failed for user \"kestrow\"", true, DatabaseFailure::LoginRefused},
        {L"08001", 101, L"connection to server at \"127.0.0.1\", port 25432 failed: Connection refused", true,
         DatabaseFailure::NotReached},
        {L"08001", 101, L"connection to server at \"db\" failed: FATAL:  database \"nights\" does not exist", true,
         DatabaseFailure::BadConnection},
        {L"01000", 0, L"[unixODBC][Driver Manager]Can't open lib 'No Such Driver' : file not found", true,
         DatabaseFailure::BadConnection},
        {L"IM002", 0, L"[Microsoft][ODBC Driver Manager] Data source name not found", true, DatabaseFailure::BadConnection},
        {L"28000", 1045, L"[ma-3.1.15]Access denied for user 'kestrow'@'localhost' (using password: YES)", true,
         DatabaseFailure::LoginRefused},
        {L"HY000", 2002, L"[ma-3.1.15]Can't connect to server on '127.0.0.1' (115)", true, DatabaseFailure::NotReached},
        {L"HY000", 2013, L"[ma-3.1.15]Lost connection to server during query", false, DatabaseFailure::ConnectionLost},
        {L"57P01", 7, L"FATAL:  terminating connection due to administrator command", false,
         DatabaseFailure::ConnectionLost},
        {L"42P01", 7, L"ERROR: relation \"kestrow_night\" does not exist", false, DatabaseFailure::NoTables},
        {L"42S02", 1146, L"Table 'nights.kestrow_night' doesn't exist", false, DatabaseFailure::NoTables},
        {L"42501", 7, L"ERROR: permission denied for table kestrow_draft", false, DatabaseFailure::NoRight},
        {L"42000", 1142, L"UPDATE command denied to user 'kestrow'@'localhost' for table 'kestrow_draft'", false,
         DatabaseFailure::NoRight},
        {L"40P01", 7, L"ERROR: deadlock detected", false, DatabaseFailure::TryAgain},
        {L"40001", 1213, L"Deadlock found when trying to get lock; try restarting transaction", false,
         DatabaseFailure::TryAgain},
        {L"42601", 7, L"ERROR: syntax error at or near \"SELEC\"", false, DatabaseFailure::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyDatabaseFailure(c.state, c.native, c.message, c.connecting), c.failure)
            << std::string(c.message, c.message + std::wcslen(c.message));
}

// A run that could not reach the database keeps what it missed for the
// next: read back as written, whatever its texts hold.
TEST(UnsentFile, WhatTheDatabaseMissedReadsBackWhole) {
    UnsentItem row;
    row.kind = Unsent::Row;
    row.night = 12;
    row.row = SentRow{L"WS2", L"WS2/77/1dd8", 41,
                      LogRow{L"2026-12-07T02:14:09+01:00", L"failed", L"P:\\D\\O'Brien, \"Größe\" Ω.dft", L"-2147467259",
                             L"Server", L"line one\r\nline two, with \"quotes\"", L"3", L"1.500", L"", L"", L"1",
                             L"copy: C:\\Copies\\1.dft"}};
    UnsentItem fate;
    fate.kind = Unsent::FailedFate;
    fate.night = 12;
    fate.number = 7;
    fate.holder = L"WS2/77/1dd8#9";
    fate.error = L"Error 91 in Kestrow: Taken 3 times, by WS1, WS3";
    const std::wstring text = FormatUnsent({row, fate}) + L"stored,12,3";  // a last record cut short
    const std::vector<UnsentItem> read = ParseUnsent(text);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].row.row.file, row.row.row.file);
    EXPECT_EQ(read[0].row.row.description, row.row.row.description);
    EXPECT_EQ(read[0].row.row.detail, row.row.row.detail);
    EXPECT_EQ(std::tuple(read[0].row.computer, read[0].row.sender, read[0].row.seq, read[0].night),
              std::tuple(row.row.computer, row.row.sender, row.row.seq, row.night));
    EXPECT_EQ(std::tuple(read[1].kind, read[1].number, read[1].holder, read[1].error),
              std::tuple(Unsent::FailedFate, 7, fate.holder, fate.error));
}

// A renewal confirmed late, after a later one, never takes the lease back
// in time; a lease the database gave to another is lost for good.
TEST(DraftLease, ItsStandingFollowsTheLatestConfirmationAndALossIsFinal) {
    LeasePolicy policy;
    policy.length = std::chrono::seconds(30);
    const QueueClock::time_point start = QueueClock::now();
    DraftLease lease(policy, 4, L"WS1/1/1#4", start);
    lease.Confirmed(start + 15s);
    lease.Confirmed(start + 5s);  // an older renewal's answer, come late
    EXPECT_EQ(lease.Standing(start + 20s), LeaseStanding::Held);
    EXPECT_EQ(lease.Standing(start + 35s), LeaseStanding::Forfeit);
    lease.Lost();
    lease.Confirmed(start + 40s);
    EXPECT_EQ(lease.Standing(start + 41s), LeaseStanding::Forfeit);
    EXPECT_NE(lease.WhyNot().find(L"another computer"), std::wstring::npos);
}
