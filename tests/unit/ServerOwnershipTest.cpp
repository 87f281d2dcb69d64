// Whose session a start got: the rule over a table of the orders of events
// a reader can check row by row, then over every order of events a model of
// COM's activation allows, where no call may ever reach, and nothing be
// ended of, a process without COM's launch switch.
#include <gtest/gtest.h>

#include <set>

#include "server/ServerOwnership.h"
#include "FakeAutomation.h"

namespace kestrow {
namespace {

using Seen = ServerProcessSeen;

// COM puts its launch switch on the command line of a server it starts; a
// program the user starts has none, whatever its path or its files say.
TEST(ServerOwnership, TheLaunchSwitchIsAnArgumentOfItsOwnAfterTheProgram) {
    const std::vector<std::pair<std::wstring, bool>> cases = {
        {L"\"C:\\Program Files\\CAD\\Program\\Edge.exe\" -Embedding", true}, {L"C:\\CAD\\Edge.exe /embedding", true},
        {L"C:\\CAD\\Edge.exe /Automation -Embedding", true}, {L"C:\\CAD\\Edge.exe \"-EMBEDDING\"", true},
        {L"\"C:\\CAD\\Edge.exe\"", false}, {L"C:\\CAD\\Edge.exe C:\\Drawings\\-Embedding.dft", false},
        {L"\"C:\\-Embedding\\Edge.exe\" C:\\a.dft", false}, {L"C:\\CAD\\Edge.exe -EmbeddingX", false},
        {L"-Embedding", false}, {L"", false},
        // Windows reads a backslash before a quote as a quote of the argument.
        {L"Edge.exe \"C:\\Drawings\\\" -Embedding", false}, {L"Edge.exe \"C:\\Drawings\\\\\" -Embedding", true}};
    for (const auto& [line, carries] : cases)
        EXPECT_EQ(CarriesLaunchSwitch(line), carries) << std::string(line.begin(), line.end());
}

// The processes of the table: the user's session (U), and one of another
// logon (O), both without the switch; Kestrow's launch (K), another
// program's launch at the same moment (A) and one after the return (X), all
// appeared with it; another program's server from before with it (S); the
// process of another session of this batch (B).
constexpr std::uint32_t U = 10, S = 11, B = 12, K = 20, A = 21, X = 22, O = 30, Stranger = 99;
const Seen kUsers{U, false, false}, kUsersAppeared{U, true, false}, kUsersGone{U, true, false, false, false};
const Seen kOtherLogon{O, false, false, true}, kOwn{K, true, true}, kAnother{A, true, true}, kLate{X, true, true};
const Seen kServerBefore{S, false, true}, kOwnGone{K, true, true, false, false};
const Seen kBatchSession{B, false, true, false, true, true};

struct Row {
    const char* order;  // what happened, in the order it happened
    std::vector<Seen> onReturn;
    std::vector<Seen> lookedAgain;           // what the later look adds
    std::optional<std::uint32_t> answer;     // the application's ProcessID, when asked
    bool asked;
    ServedBy by;
    std::optional<SessionLetGo> why;
    std::optional<std::uint32_t> ended;  // the process Kestrow ends: its own, or its unused launch
    bool imageKnown = true;
    bool everyLogon = false;
};

TEST(ServerOwnership, EveryRowOfTheRuleHolds) {
    using enum SessionLetGo;
    const ServedBy own = ServedBy::OwnProcess, other = ServedBy::OtherProcess;
    const Row rows[] = {
        {"K appears, nothing else runs", {kOwn}, {}, {}, true, own, {}, K},
        {"K appears; the application names K", {kOwn}, {}, K, true, own, {}, K},
        {"K appears; the application names S, a server from before", {kServerBefore, kOwn}, {}, S, true, other,
         NotProven, {}},
        {"K appears; the application names a process never seen", {kOwn}, {}, Stranger, true, other, NotProven, {}},
        {"U runs, or is still starting, as the start begins; K appears", {kUsers, kOwn}, {}, K, false, other,
         UsersSession, K},
        {"U appears during the activation", {kUsersAppeared, kOwn}, {}, K, false, other, UsersSession, K},
        {"U appears after the return, before the look again", {kOwn}, {kUsers}, K, true, other, UsersSession, K},
        {"U appears during the activation and is gone by the look again", {kUsersGone, kOwn}, {}, K, false, other,
         UsersSession, K},
        {"U appears as well as K and A", {kUsersAppeared, kOwn, kAnother}, {}, K, false, other, UsersSession, {}},
        {"S, with the switch, runs before; K appears; the application names K", {kServerBefore, kOwn}, {}, K, true,
         own, {}, K},
        {"S, with the switch, runs before; K appears; the application cannot say", {kServerBefore, kOwn}, {}, {},
         true, other, NotProven, {}},
        {"S, with the switch, runs before and serves; nothing appears", {kServerBefore}, {}, {}, false, other,
         NotProven, {}},
        {"S serves; X, another program's, appears after the return", {kServerBefore}, {kLate}, {}, false, other,
         NotProven, {}},
        {"B, this batch's other session, runs; K appears", {kBatchSession, kOwn}, {}, {}, true, own, {}, K},
        {"K and A appear at once; nothing says which", {kOwn, kAnother}, {}, {}, true, other, NotProven, {}},
        {"K and A appear at once; the application names A", {kOwn, kAnother}, {}, A, true, own, {}, A},
        {"K appears and is gone by the return", {kOwnGone}, {}, {}, false, other, NotProven, {}},
        {"nothing of the program is seen", {}, {}, {}, false, other, NotProven, {}},
        {"the program cannot be read from the registration", {kOwn}, {}, {}, false, other, ProgramNotKnown, {},
         false},
        {"O runs in another user's logon; K appears", {kOtherLogon, kOwn}, {}, {}, true, own, {}, K},
        {"O runs in another logon, but the server runs as a set user", {kOtherLogon, kOwn}, {}, {}, false, other,
         UsersSession, K, true, true},
    };
    for (const Row& row : rows) {
        const StartFacts onReturn{row.imageKnown, row.everyLogon, row.onReturn};
        StartFacts again = onReturn;
        again.processes.insert(again.processes.end(), row.lookedAgain.begin(), row.lookedAgain.end());
        bool asked = false;
        const ServedVerdict verdict = JudgeReturnedStart(
            onReturn,
            [&] {
                asked = true;
                return row.answer;
            },
            [&] { return again; });
        EXPECT_EQ(asked, row.asked) << row.order;
        EXPECT_EQ(verdict.by, row.by) << row.order;
        EXPECT_EQ(verdict.why, row.why) << row.order;
        EXPECT_EQ(row.by == own ? verdict.process : verdict.launchedUnused, row.ended) << row.order;
        if (row.by == other) EXPECT_EQ(verdict.process, std::nullopt) << row.order;
    }
    // While the activation is pending, the start holds to its one launch.
    EXPECT_EQ(ProcessOfPendingStart({true, false, {kUsers, kServerBefore, kOwn}}), K);
    EXPECT_EQ(ProcessOfPendingStart({true, false, {kOwn, kAnother}}), std::nullopt);
    EXPECT_EQ(ProcessOfPendingStart({false, false, {kOwn}}), std::nullopt);
}

// Every order of events, against a model of what COM does: which process
// may serve the activation, whatever the CAD system's registration and
// timing, and what Kestrow sees of it at its two looks.
enum class OtherTiming { None, RunningBefore, AppearsDuring, AppearsAfterReturn, GoneByTheLook };
enum class Answer { NotGiven, Truthful, Stranger };

struct Order {
    OtherTiming other;       // another process of the program: the user's, or with the switch another program's
    bool otherCarriesSwitch;
    bool otherLogon;
    bool everyLogon;
    int launched;     // processes that appear with the switch during the activation: Kestrow's, another program's
    bool lateLaunch;  // another program's launch after the return
    bool batchSession;  // another session of this batch runs (a process each: a server for every client serves it)
    bool multipleUse;
    Answer answer;
    bool imageKnown;
};

// The processes that may serve the activation. A server registered for
// every client serves it from a process of it registered first: a session
// of this batch, or any other running or starting then (a user's still
// starting included); when none was, one launched for it. One registered
// for each client serves it from a process launched for it: Kestrow's, or,
// when two were launched at once, either.
std::vector<std::uint32_t> MayServe(const Order& o) {
    const bool otherCanServe = o.other != OtherTiming::None && o.other != OtherTiming::AppearsAfterReturn &&
                               (!o.otherLogon || o.everyLogon);
    if (o.multipleUse && o.batchSession) return {B};
    std::vector<std::uint32_t> serving;
    if (o.multipleUse && otherCanServe) serving.push_back(U);
    if (o.launched >= 1) serving.push_back(K);
    if (o.launched == 2) serving.push_back(A);
    return serving;
}

// What the two looks see: the one on the return, and the one after the answer.
std::pair<StartFacts, StartFacts> Looks(const Order& o) {
    StartFacts onReturn{o.imageKnown, o.everyLogon, {}}, again = onReturn;
    if (o.batchSession) onReturn.processes.push_back(kBatchSession);
    if (o.launched >= 1) onReturn.processes.push_back(kOwn);
    if (o.launched == 2) onReturn.processes.push_back(kAnother);
    again.processes = onReturn.processes;
    if (o.other != OtherTiming::None) {
        Seen other{U, false, o.otherCarriesSwitch, o.otherLogon};
        other.appeared = o.other == OtherTiming::AppearsDuring || o.other == OtherTiming::GoneByTheLook;
        if (o.other != OtherTiming::AppearsAfterReturn) onReturn.processes.push_back(other);
        other.running = o.other != OtherTiming::GoneByTheLook;
        again.processes.push_back(other);
    }
    if (o.lateLaunch) again.processes.push_back(kLate);
    return {onReturn, again};
}

// Every combination of the model's inputs, each once.
std::vector<Order> EveryOrder() {
    std::vector<Order> orders;
    constexpr int kTimings = static_cast<int>(OtherTiming::GoneByTheLook) + 1;
    for (int code = 0; code < kTimings * 2 * 2 * 2 * 3 * 2 * 2 * 2 * 3 * 2; ++code) {
        int rest = code;
        const auto digit = [&rest](int radix) {
            const int value = rest % radix;
            rest /= radix;
            return value;
        };
        // Braced initialisers are evaluated in order.
        const Order o{static_cast<OtherTiming>(digit(kTimings)), digit(2) == 1, digit(2) == 1, digit(2) == 1,
                      digit(3), digit(2) == 1, digit(2) == 1, digit(2) == 1, static_cast<Answer>(digit(3)),
                      digit(2) == 1};
        // A server for every client launches nothing, for anybody, while a
        // session of this batch, registered long since, serves.
        const bool otherLaunched = o.otherCarriesSwitch &&
                                   (o.other == OtherTiming::AppearsDuring || o.other == OtherTiming::GoneByTheLook);
        if (o.multipleUse && o.batchSession && (o.launched > 0 || otherLaunched)) continue;
        orders.push_back(o);
    }
    return orders;
}

std::string Describe(const Order& o, std::uint32_t server) {
    return "other process " + std::to_string(static_cast<int>(o.other)) + ", with switch " +
           std::to_string(o.otherCarriesSwitch) + ", other logon " + std::to_string(o.otherLogon) +
           ", every logon counts " + std::to_string(o.everyLogon) + ", launched " + std::to_string(o.launched) +
           ", late launch " + std::to_string(o.lateLaunch) + ", batch session " + std::to_string(o.batchSession) +
           ", multiple-use " + std::to_string(o.multipleUse) + ", answer " + std::to_string(static_cast<int>(o.answer)) +
           ", image known " + std::to_string(o.imageKnown) + ", served by " + std::to_string(server);
}

TEST(ServerOwnership, NoOrderOfEventsLetsACallReachAnyProcessButTheOneThatServedAndWasLaunchedForTheStart) {
    int judged = 0;
    for (const Order& o : EveryOrder()) {
        const auto [onReturn, again] = Looks(o);
        const bool usersSession = o.other != OtherTiming::None && !o.otherCarriesSwitch;
        const bool usersCounts = usersSession && (!o.otherLogon || o.everyLogon);
        for (const std::uint32_t server : MayServe(o)) {
            ++judged;
            const std::string what = Describe(o, server);
            bool asked = false;
            const ServedVerdict verdict = JudgeReturnedStart(
                onReturn,
                [&]() -> std::optional<std::uint32_t> {
                    asked = true;
                    if (o.answer == Answer::Truthful) return server;
                    if (o.answer == Answer::Stranger) return Stranger;
                    return std::nullopt;
                },
                [&] { return again; });
            // No call, the look-up of ProcessID included, reaches a session a
            // user started; one seen where it counts stops every call.
            if (server == U && usersSession) EXPECT_FALSE(asked) << what;
            if (usersCounts && o.imageKnown) EXPECT_EQ(verdict.why, SessionLetGo::UsersSession) << what;
            if (usersCounts && o.other != OtherTiming::AppearsAfterReturn) EXPECT_FALSE(asked) << what;
            // The process taken is the one that served, and was launched
            // during this start; what is ended was launched for it too.
            if (verdict.by == ServedBy::OwnProcess) EXPECT_EQ(verdict.process, server) << what;
            const bool otherLaunched = o.otherCarriesSwitch && (o.other == OtherTiming::AppearsDuring ||
                                                                 o.other == OtherTiming::GoneByTheLook);
            if (verdict.by == ServedBy::OwnProcess)
                EXPECT_TRUE(server == K || server == A || (server == U && otherLaunched)) << what;
            if (verdict.launchedUnused) EXPECT_EQ(verdict.launchedUnused, K) << what;
            if (!o.imageKnown) EXPECT_EQ(verdict.why, SessionLetGo::ProgramNotKnown) << what;
            // And no plain start is refused: nothing else of the program
            // runs, one process appears with the switch, and what appears
            // after the return changes nothing.
            if (o.imageKnown && o.other == OtherTiming::None && o.launched == 1 && o.answer != Answer::Stranger)
                EXPECT_EQ(verdict, (ServedVerdict{ServedBy::OwnProcess, K, {}, {}})) << what;
        }
    }
    EXPECT_GT(judged, 5000);
}

TEST(ServerOwnership, TheApplicationSaysItsProcessOrNothingAndOnlyALostServerFailsTheStart) {
    kestrow::testing::FakeServer server;
    kestrow::testing::FakeFactory factory(server);
    const AutomationRef application = factory.CreateObject(L"SolidEdge.Application");
    EXPECT_EQ(AskServedProcess(*application), std::nullopt) << "no such property";
    server.names[kProcessIdProperty] = 1001;
    server.numbers[1001] = 4312;
    EXPECT_EQ(AskServedProcess(*application), 4312u);
    server.Fail(L"raw-app get 1001", RuntimeError(static_cast<long>(0x80020009), L"CAD", L"No such property"));
    EXPECT_EQ(AskServedProcess(*application), std::nullopt);
    server.Fail(L"raw-app name", RuntimeError(static_cast<long>(0x800706BA), L"", L"gone", FailureKind::ServerGone));
    EXPECT_THROW(AskServedProcess(*application), RuntimeError);
}

}  // namespace
}  // namespace kestrow
