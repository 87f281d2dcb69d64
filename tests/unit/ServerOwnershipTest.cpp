// Whose session a start got: the rule over a table of the orders of events
// a reader can check row by row, then over every order of events a model of
// COM's activation allows, where no call may ever reach, and nothing be
// ended of, a process without COM's launch switch.
#include <gtest/gtest.h>

#include <set>

#include "batch/ServerOwnership.h"
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
        {L"-Embedding", false}, {L"", false}};
    for (const auto& [line, carries] : cases)
        EXPECT_EQ(CarriesLaunchSwitch(line), carries) << std::string(line.begin(), line.end());
}

// The processes of the table: the user's session (U) and one of another
// logon (O), both without the switch; Kestrow's launch (K) and another
// program's launch at the same moment (A), both appeared with it; a server
// from before with it (S).
constexpr std::uint32_t U = 10, S = 11, K = 20, A = 21, O = 30, Stranger = 99;
const Seen kBefore{U, false, false}, kStarting{U, false, false}, kDuring{U, true, false}, kAfterReturn{U, false, false};
const Seen kEnded{U, true, false, false, false}, kOtherLogon{O, false, false, true};
const Seen kOwn{K, true, true}, kAnother{A, true, true}, kServerBefore{S, false, true}, kOwnGone{K, true, true, false, false};

struct Row {
    const char* order;  // what happened, in the order it happened
    std::vector<Seen> seen;
    std::optional<std::uint32_t> reported;  // the application's ProcessID, when asked and answered
    bool mayAsk;
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
        {"K appears, nothing else runs", {kOwn}, {}, true, own, {}, K},
        {"K appears; the application names K", {kOwn}, K, true, own, {}, K},
        {"K appears; the application names S, a server from before", {kServerBefore, kOwn}, S, true, other, NotProven, {}},
        {"K appears; the application names a process never seen", {kOwn}, Stranger, true, other, NotProven, {}},
        {"U runs before the start; K appears", {kBefore, kOwn}, {}, false, other, UsersSession, K},
        {"U is still starting as the start begins, then serves it (one process for all)", {kStarting, kOwn}, {}, false,
         other, UsersSession, K},
        {"U is still starting; K serves (a process each)", {kStarting, kOwn}, {}, false, other, UsersSession, K},
        {"U appears during the activation", {kDuring, kOwn}, {}, false, other, UsersSession, K},
        {"U appears after the return, before the look again", {kOwn, kAfterReturn}, {}, false, other, UsersSession, K},
        {"U appears during the activation and is gone by the look again", {kEnded, kOwn}, {}, false, other,
         UsersSession, K},
        {"U appears as well as K and A", {kDuring, kOwn, kAnother}, {}, false, other, UsersSession, {}},
        {"S, with the switch, runs before; K appears", {kServerBefore, kOwn}, {}, true, own, {}, K},
        {"S, with the switch, runs before and serves; nothing appears", {kServerBefore}, {}, false, other, NotProven, {}},
        {"K and A appear at once; nothing says which", {kOwn, kAnother}, {}, true, other, NotProven, {}},
        {"K and A appear at once; the application names A", {kOwn, kAnother}, A, true, own, {}, A},
        {"K appears and is gone by the return", {kOwnGone}, {}, false, other, NotProven, {}},
        {"nothing of the program is seen", {}, {}, false, other, NotProven, {}},
        {"the program cannot be read from the registration", {kOwn}, {}, false, other, ProgramNotKnown, {}, false},
        {"O runs in another user's logon; K appears", {kOtherLogon, kOwn}, {}, true, own, {}, K},
        {"O runs in another logon, but the server runs as a set user", {kOtherLogon, kOwn}, {}, false, other,
         UsersSession, K, true, true},
    };
    for (const Row& row : rows) {
        const StartFacts facts{row.imageKnown, row.everyLogon, row.seen};
        EXPECT_EQ(MayAskServedProcess(facts), row.mayAsk) << row.order;
        const ServedVerdict verdict = JudgeServedSession(facts, row.reported);
        EXPECT_EQ(verdict.by, row.by) << row.order;
        EXPECT_EQ(verdict.why, row.why) << row.order;
        EXPECT_EQ(row.by == own ? verdict.process : verdict.launchedUnused, row.ended) << row.order;
        if (row.by == other) EXPECT_EQ(verdict.process, std::nullopt) << row.order;
        // While the activation is pending, the start holds to its launch.
        EXPECT_EQ(ProcessOfPendingStart(facts), row.imageKnown && std::count(row.seen.begin(), row.seen.end(), kOwn) &&
                                                        !std::count(row.seen.begin(), row.seen.end(), kAnother)
                                                    ? std::optional<std::uint32_t>(K)
                                                    : std::nullopt)
            << row.order;
    }
}

// Every order of events, against a model of what COM does: which process
// may serve the activation, whatever the CAD system's registration and
// timing, and what Kestrow sees of it at its looks.
enum class UserTiming { None, RunningBefore, StartingBefore, AppearsDuring, AppearsAfterReturn, GoneByTheLook };
enum class Answer { NotGiven, Truthful, Stranger };

struct Order {
    UserTiming user;
    bool userCarriesSwitch;  // then it is no user's: another program's server
    bool userOtherLogon;
    bool everyLogon;
    int launched;  // processes that appear with the switch: Kestrow's, and another program's
    bool multipleUse;
    Answer answer;
    bool imageKnown;
};

// The processes that may serve the activation. A server registered for
// every client serves it from whichever of its processes registers first
// (a user's still starting included); one registered for each client
// serves it from a process launched for it: Kestrow's, or, when two were
// launched at once, either.
std::vector<std::uint32_t> MayServe(const Order& o) {
    std::vector<std::uint32_t> serving;
    const bool userCanServe = o.user != UserTiming::None && o.user != UserTiming::AppearsAfterReturn &&
                              (!o.userOtherLogon || o.everyLogon);
    if (o.multipleUse && userCanServe) serving.push_back(U);
    if (o.launched >= 1) serving.push_back(K);
    if (o.launched == 2) serving.push_back(A);
    return serving;
}

StartFacts Observed(const Order& o) {
    StartFacts facts{o.imageKnown, o.everyLogon, {}};
    if (o.user != UserTiming::None) {
        Seen user{U, false, o.userCarriesSwitch, o.userOtherLogon};
        user.appeared = o.user == UserTiming::AppearsDuring || o.user == UserTiming::GoneByTheLook;
        user.running = o.user != UserTiming::GoneByTheLook;
        facts.processes.push_back(user);
    }
    if (o.launched >= 1) facts.processes.push_back(kOwn);
    if (o.launched == 2) facts.processes.push_back(kAnother);
    return facts;
}

// Every combination of the model's inputs, each once.
std::vector<Order> EveryOrder() {
    std::vector<Order> orders;
    constexpr int kTimings = static_cast<int>(UserTiming::GoneByTheLook) + 1;
    for (int code = 0; code < kTimings * 2 * 2 * 2 * 3 * 2 * 3 * 2; ++code) {
        int rest = code;
        const auto digit = [&rest](int radix) {
            const int value = rest % radix;
            rest /= radix;
            return value;
        };
        // Braced initialisers are evaluated in order.
        orders.push_back(Order{static_cast<UserTiming>(digit(kTimings)), digit(2) == 1, digit(2) == 1, digit(2) == 1,
                               digit(3), digit(2) == 1, static_cast<Answer>(digit(3)), digit(2) == 1});
    }
    return orders;
}

std::string Describe(const Order& o, std::uint32_t server) {
    return "user timing " + std::to_string(static_cast<int>(o.user)) + ", with switch " +
           std::to_string(o.userCarriesSwitch) + ", other logon " + std::to_string(o.userOtherLogon) +
           ", every logon counts " + std::to_string(o.everyLogon) + ", launched " + std::to_string(o.launched) +
           ", multiple-use " + std::to_string(o.multipleUse) + ", answer " + std::to_string(static_cast<int>(o.answer)) +
           ", image known " + std::to_string(o.imageKnown) + ", served by " + std::to_string(server);
}

TEST(ServerOwnership, NoOrderOfEventsLetsAProcessWithoutTheSwitchBeCalledOrEnded) {
    int judged = 0;
    for (const Order& o : EveryOrder()) {
        const StartFacts facts = Observed(o);
        // What COM launched during this start: Kestrow's, another program's,
        // and the other process if it appeared with the switch meanwhile.
        std::set<std::uint32_t> launches = {K, A};
        if (o.userCarriesSwitch && (o.user == UserTiming::AppearsDuring || o.user == UserTiming::GoneByTheLook))
            launches.insert(U);
        const bool usersSession = o.user != UserTiming::None && !o.userCarriesSwitch;
        const bool usersCounts = usersSession && (!o.userOtherLogon || o.everyLogon);
        for (const std::uint32_t server : MayServe(o)) {
            ++judged;
            const std::string what = Describe(o, server);
            const bool asks = MayAskServedProcess(facts);
            std::optional<std::uint32_t> reported;
            if (asks && o.answer == Answer::Truthful) reported = server;
            if (asks && o.answer == Answer::Stranger) reported = Stranger;
            const ServedVerdict verdict = JudgeServedSession(facts, reported);
            // No call, the look-up of ProcessID included, reaches a session a
            // user started; one seen where it counts stops every call.
            if (server == U && usersSession) {
                EXPECT_FALSE(asks) << what;
                EXPECT_EQ(verdict.by, ServedBy::OtherProcess) << what;
            }
            if (usersCounts && o.imageKnown) {
                EXPECT_FALSE(asks) << what;
                EXPECT_EQ(verdict.why, SessionLetGo::UsersSession) << what;
            }
            // Only a process launched during this start is taken or ended.
            if (verdict.process) EXPECT_TRUE(launches.count(*verdict.process)) << what;
            if (verdict.launchedUnused) EXPECT_TRUE(launches.count(*verdict.launchedUnused)) << what;
            // The application's word, when it answers, decides.
            if (verdict.by == ServedBy::OwnProcess && reported) EXPECT_EQ(verdict.process, reported) << what;
            if (!o.imageKnown) EXPECT_EQ(verdict.why, SessionLetGo::ProgramNotKnown) << what;
            // And no plain start is refused: nothing else of the program runs
            // and one process appears with the switch.
            if (o.imageKnown && o.user == UserTiming::None && o.launched == 1 && o.answer != Answer::Stranger)
                EXPECT_EQ(verdict, (ServedVerdict{ServedBy::OwnProcess, K, {}, {}})) << what;
        }
    }
    EXPECT_GT(judged, 2000);
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
