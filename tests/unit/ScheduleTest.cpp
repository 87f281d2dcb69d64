// A night in the Task Scheduler: the command line its task runs (quoted so
// that the run reads back every path and rule), when it runs, the task's
// definition changed without losing what was set by hand, the names that
// tell nights apart, and the checks of the settings and schedule dialogs.
#include <gtest/gtest.h>

#include "common/CommandLineWords.h"
#include "form/WindowSettings.h"
#include "schedule/LastResult.h"
#include "schedule/NightForm.h"
#include "schedule/ScheduleCommand.h"
#include "schedule/TaskDefinition.h"
#include "schedule/TaskNames.h"
#include "schedule/XmlText.h"

using namespace kestrow;

namespace {

const std::wstring kLongFolder = L"\\\\server\\cad\\" + std::wstring(300, L'x') + L"\\Drawings";

Night SampleNight() {
    Night night;
    night.folder = L"D:\\Projects\\Drawings";
    night.subfolders = true;
    night.log = L"C:\\Users\\Ann\\AppData\\Local\\Kestrow\\Logs\\Nightly - Drawings.csv";
    night.sessions = 3;
    night.timeoutSeconds = 900;
    night.restartEvery = 200;
    night.restartMemoryMB = 1500;
    night.answers = {{L"Missing references", L"OK"}, {L"*newer \"version\"*", L"Yes"}, {L"Save changes?", L"Save & Close"}};
    night.exports = {ExportFormat::Pdf, ExportFormat::Dxf};
    return night;
}

void ExpectSameNight(const Night& read, const Night& written) {
    EXPECT_EQ(read.folder, written.folder);
    EXPECT_EQ(read.subfolders, written.subfolders);
    EXPECT_EQ(read.log, written.log);
    EXPECT_EQ(read.sessions, written.sessions);
    EXPECT_EQ(read.timeoutSeconds, written.timeoutSeconds);
    EXPECT_EQ(read.restartEvery, written.restartEvery);
    EXPECT_EQ(read.restartMemoryMB, written.restartMemoryMB);
    EXPECT_EQ(read.shardCount, written.shardCount);
    EXPECT_EQ(read.exports, written.exports);
    EXPECT_EQ(read.exportFolder, written.exportFolder);
    EXPECT_EQ(read.queue, written.queue);
    EXPECT_EQ(read.leaseSeconds, written.leaseSeconds);
    ASSERT_EQ(read.answers.size(), written.answers.size());
    for (size_t i = 0; i < read.answers.size(); ++i) {
        EXPECT_EQ(read.answers[i].title, written.answers[i].title);
        EXPECT_EQ(read.answers[i].button, written.answers[i].button);
    }
}

}  // namespace

TEST(CommandLineWords, EveryArgumentComesBackAsItWasQuoted) {
    for (const std::wstring& argument :
         {std::wstring(L"plain"), std::wstring(L"D:\\"), std::wstring(L"D:\\My Drawings\\"), std::wstring(L""),
          std::wstring(L"a \"quoted\" title=OK"), std::wstring(L"\\\\server\\share\\\\\"x"), std::wstring(L"tab\there"),
          std::wstring(L"\u0394\u03b9\u03b1\u03b3\u03c1\u03ac\u03bc\u03bc\u03b1\u03c4\u03b1 \u00e9"), kLongFolder}) {
        for (const bool always : {false, true}) {
            const std::vector<std::wstring> words = SplitArguments(L"/x " + QuotedArgument(argument, always) + L" /y");
            ASSERT_EQ(words.size(), 3u) << QuotedArgument(argument, always).size();
            EXPECT_EQ(words[1], argument);
        }
    }
    // A drive's root in quotes keeps its closing quote.
    EXPECT_EQ(QuotedArgument(L"D:\\", true), L"\"D:\\\\\"");
    EXPECT_EQ(SplitArguments(L"  /update \"D:\\A B\"\t/log \"x\"\"y\" a\\\\b"),
              (std::vector<std::wstring>{L"/update", L"D:\\A B", L"/log", L"x\"y", L"a\\\\b"}));
}

// Markup that only looks like elements must not be taken for them: a
// change spliced there would corrupt the definition.
TEST(XmlText, FindsElementsPastCommentsCdataAndQuotedMarkup) {
    const std::wstring xml =
        L"<?xml version=\"1.0\"?><!-- <Task> --><t:Task a=\"x>y\" b='<z/>'><![CDATA[<Actions>]]>"
        L"<Actions/><Triggers><X id=\"Kestrow\"/><Y>a &amp; b &#x1F600; &#233; R&D &bogus;</Y></Triggers></t:Task>";
    const std::vector<XmlElement> top = TopElements(xml);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].name, L"Task");
    EXPECT_EQ(AttributeOf(top[0], L"a"), L"x>y");
    EXPECT_EQ(AttributeOf(top[0], L"b"), L"<z/>");
    const std::vector<XmlElement> children = ChildElements(xml, top[0].contentBegin, top[0].contentEnd);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_TRUE(children[0].selfClosed);
    EXPECT_EQ(children[1].name, L"Triggers");
    const std::optional<XmlElement> y = ChildNamed(xml, children[1], L"Y");
    ASSERT_TRUE(y);
    EXPECT_EQ(TextOf(xml, *y), L"a & b \U0001F600 \u00e9 R&D &bogus;");
    EXPECT_EQ(AttributeOf(*ChildNamed(xml, children[1], L"X"), L"id"), L"Kestrow");
    EXPECT_EQ(UnescapedXml(EscapedXml(L"<a href=\"x\">&'</a>")), L"<a href=\"x\">&'</a>");
    EXPECT_TRUE(TopElements(L"<Task><Actions></Task>").empty()) << "an element without its end is none";
}

TEST(NightTime, TimesAndDaysAsTheCommandLineWritesThem) {
    const std::vector<std::pair<std::wstring, std::optional<NightTime>>> times = {
        {L"02:00", NightTime{2, 0}}, {L"2:05", NightTime{2, 5}}, {L" 23:59 ", NightTime{23, 59}},
        {L"00:00", NightTime{0, 0}}, {L"24:00", std::nullopt},   {L"12:60", std::nullopt},
        {L"2:5", std::nullopt},      {L"0200", std::nullopt},    {L"-1:00", std::nullopt},
        {L"", std::nullopt},         {L"123:00", std::nullopt}};
    for (const auto& [text, time] : times) EXPECT_EQ(ParseNightTime(text), time) << text.size();
    EXPECT_EQ(NightTimeText({7, 5}), L"07:05");

    const std::vector<std::pair<std::wstring, std::optional<NightDays>>> days = {
        {L"mon", 0x01}, {L"Mon,TUE, friday", 0x13}, {L"sun,sat", 0x60}, {L"mon,mon", 0x01},
        {L"", std::nullopt}, {L"mon,,tue", std::nullopt}, {L"mo", std::nullopt}, {L"weekdays", std::nullopt}};
    for (const auto& [text, parsed] : days) EXPECT_EQ(ParseNightDays(text), parsed) << text.size();
    EXPECT_EQ(NightDaysSwitch(0x13), L"mon,tue,fri");
    EXPECT_EQ(NightScheduleText({2, 0}, kEveryDay), L"02:00 every day");
    EXPECT_EQ(NightScheduleText({2, 0}, 0x13), L"02:00 on Mon, Tue and Fri");
    EXPECT_EQ(NightDaysText(0x41), L"Mon and Sun");
}

TEST(Night, ItsCommandLineIsAHandMadeTasksAndReadsBackWhole) {
    Night night = SampleNight();
    EXPECT_EQ(NightCommandLine(L"C:\\Program Files\\Kestrow\\Kestrow.exe", night),
              L"\"C:\\Program Files\\Kestrow\\Kestrow.exe\" /update \"D:\\Projects\\Drawings\" /subfolders /log "
              L"\"C:\\Users\\Ann\\AppData\\Local\\Kestrow\\Logs\\Nightly - Drawings.csv\" /resume /sessions 3 "
              L"/timeout 900 /restart-every 200 /restart-memory 1500 /export pdf,dxf /answer \"Missing references=OK\" "
              L"/answer \"*newer \\\"version\\\"*=Yes\" /answer \"Save changes?=Save && Close\"");
    // Past the 262 characters a schtasks line may hold, and with a root.
    for (const std::wstring& folder : {kLongFolder, std::wstring(L"D:\\")}) {
        night.folder = folder;
        night.exportFolder = folder + L"\\Exports";
        night.shardIndex = folder.size() > 3 ? 2 : 1;
        night.shardCount = folder.size() > 3 ? 4 : 1;
        // A root's night is shared, as its computers take drafts from a database.
        night.queue = folder.size() > 3 ? L"" : L"DRIVER={PostgreSQL Unicode};SERVER=db;DATABASE=cad";
        night.leaseSeconds = folder.size() > 3 ? 300 : 120;
        const NightReading read = ReadNightArguments(SplitArguments(NightArgumentsText(night)));
        ASSERT_TRUE(read.ok) << read.error.size();
        ExpectSameNight(read.night, night);
    }
    const std::vector<std::pair<std::vector<std::wstring>, std::wstring>> refused = {
        {{L"/update", L"D:\\A", L"/whatif"}, L"/whatif has no place"},
        {{L"/update", L"D:\\A", L"/export", L"pdf,tiff"}, L"/export needs a comma list"},
        {{L"/update", L"D:\\A", L"/exportto", L"E:\\Out"}, L"/exportto needs /export"},
        {{L"/update", L"D:\\A", L"/export"}, L"/export needs a value."},
        {{L"/subfolders"}, L"Nothing to do"},
        {{L"/update", L"D:\\A", L"/sessions", L"9"}, L"/sessions needs a whole number from 1 to 8"},
        {{L"/report", L"x.csv"}, L"A night needs /update"},
        {{L"/update", L"D:\\A", L"/queue", L"DSN=cad;PWD=secret"}, L"/queue: the connection holds a password"},
    };
    for (const auto& [arguments, why] : refused) {
        const NightReading read = ReadNightArguments(arguments);
        EXPECT_FALSE(read.ok);
        EXPECT_NE(read.error.find(why), std::wstring::npos) << arguments.size();
    }
}

TEST(TaskDefinition, ANewTaskReadsBackAsItsNight) {
    ScheduledNight scheduled{SampleNight(), NightTime{1, 30}, 0x13, NightLogon::WhetherLoggedOnOrNot};
    const std::wstring xml = NewTaskXml(scheduled, L"C:\\Tools\\Kestrow.exe", L"2026-12-07");
    EXPECT_NE(xml.find(L"<StartBoundary>2026-12-07T01:30:00</StartBoundary>"), std::wstring::npos);
    EXPECT_NE(xml.find(L"<Monday/><Tuesday/><Friday/>"), std::wstring::npos);
    EXPECT_NE(xml.find(L"*newer \\&quot;version\\&quot;*=Yes"), std::wstring::npos) << "escaped for XML";
    const TaskReading read = ReadTaskXml(xml);
    ASSERT_TRUE(read.night && read.time && read.days);
    ExpectSameNight(*read.night, scheduled.night);
    EXPECT_EQ(*read.time, (NightTime{1, 30}));
    EXPECT_EQ(*read.days, 0x13);
    EXPECT_EQ(read.logon, NightLogon::WhetherLoggedOnOrNot);
    EXPECT_EQ(read.program, L"C:\\Tools\\Kestrow.exe");
    EXPECT_EQ(read.folder, scheduled.night.folder);
    scheduled.days = kEveryDay;
    EXPECT_EQ(ReadTaskXml(NewTaskXml(scheduled, L"K.exe", L"2026-12-07")).days, kEveryDay);

    // Kept as Wine's Task Scheduler keeps it, without the action: the folder
    // is still known from Kestrow's note, and only from Kestrow's.
    std::wstring kept = NewTaskXml(scheduled, L"K.exe", L"2026-12-07");
    kept.replace(kept.find(L"<Actions"), kept.find(L"</Actions>") + 10 - kept.find(L"<Actions"), L"<Actions><Exec/></Actions>");
    EXPECT_FALSE(ReadTaskXml(kept).night);
    EXPECT_EQ(ReadTaskXml(kept).folder, scheduled.night.folder);
    kept.replace(kept.find(L"<Source>Kestrow"), 15, L"<Source>Someone");
    EXPECT_FALSE(ReadTaskXml(kept).folder);
}

// A task changed by hand: a second trigger and action, a condition and a
// comment; Kestrow's parts are replaced and every other byte kept.
TEST(TaskDefinition, AChangeReplacesOnlyKestrowsPartsAndKeepsWhatWasSetByHand) {
    const std::wstring handMade =
        L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task version=\"1.4\" xmlns=\"http://schemas.microsoft.com/"
        L"windows/2004/02/mit/task\">\r\n  <RegistrationInfo><Author>PC\\ann</Author><Description>old</Description>"
        L"</RegistrationInfo>\r\n  <Triggers>\r\n    <BootTrigger><Enabled>true</Enabled></BootTrigger>\r\n"
        L"    <CalendarTrigger id=\"KestrowNight\"><StartBoundary>2025-01-01T02:00:00</StartBoundary><ScheduleByDay>"
        L"<DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger>\r\n  </Triggers>\r\n  <!-- <Actions> -->\r\n"
        L"  <Settings><RunOnlyIfIdle>true</RunOnlyIfIdle><IdleSettings><Duration>PT10M</Duration></IdleSettings>"
        L"</Settings>\r\n  <Principals><Principal id=\"Author\"><UserId>S-1-5-21-1</UserId><LogonType>InteractiveToken"
        L"</LogonType></Principal></Principals>\r\n  <Actions Context=\"Author\">\r\n    <Exec id=\"KestrowRun\"><Command>"
        L"K.exe</Command><Arguments>/update \"D:\\Old\" /log \"D:\\old.csv\" /resume</Arguments></Exec>\r\n"
        L"    <Exec><Command>copy-logs.cmd</Command></Exec>\r\n  </Actions>\r\n</Task>\r\n";
    const ScheduledNight scheduled{SampleNight(), NightTime{3, 15}, 0x40, NightLogon::WhetherLoggedOnOrNot};
    const std::optional<std::wstring> changed = ChangedTaskXml(handMade, scheduled, L"C:\\K\\Kestrow.exe", L"2026-12-07");
    ASSERT_TRUE(changed);
    for (const wchar_t* kept : {L"<Author>PC\\ann</Author>", L"<BootTrigger><Enabled>true</Enabled></BootTrigger>",
                                L"<!-- <Actions> -->", L"<RunOnlyIfIdle>true</RunOnlyIfIdle>", L"<Duration>PT10M</Duration>",
                                L"<UserId>S-1-5-21-1</UserId>", L"<Exec><Command>copy-logs.cmd</Command></Exec>"})
        EXPECT_NE(changed->find(kept), std::wstring::npos) << "lost: " << std::wstring(kept).size();
    for (const wchar_t* gone : {L"D:\\Old", L"2025-01-01", L"old</Description>", L"InteractiveToken"})
        EXPECT_EQ(changed->find(gone), std::wstring::npos);
    const TaskReading read = ReadTaskXml(*changed);
    ASSERT_TRUE(read.night && read.time && read.days);
    ExpectSameNight(*read.night, scheduled.night);
    EXPECT_EQ(*read.days, 0x40);
    EXPECT_EQ(read.logon, NightLogon::WhetherLoggedOnOrNot);
    // Changed again, it stays one trigger and one action of Kestrow's.
    const std::wstring twice = *ChangedTaskXml(*changed, scheduled, L"C:\\K\\Kestrow.exe", L"2026-12-08");
    for (const wchar_t* id : {L"id=\"KestrowNight\"", L"id=\"KestrowRun\""})
        EXPECT_EQ(twice.find(id), twice.rfind(id)) << "one of each";

    // As a Task Scheduler that kept no triggers or actions gives it back.
    const std::wstring bare = L"<Task version=\"1.2\"><RegistrationInfo/><Triggers/><Principals><Principal>\n"
                              L"</Principal></Principals><Actions>\n<Exec/>\n</Actions></Task>";
    const TaskReading filled = ReadTaskXml(*ChangedTaskXml(bare, scheduled, L"K.exe", L"2026-12-07"));
    EXPECT_TRUE(filled.night && filled.time && filled.days);
    EXPECT_FALSE(ReadTaskXml(bare).night);
    EXPECT_FALSE(ChangedTaskXml(L"<Job/>", scheduled, L"K.exe", L"2026-12-07"));
    EXPECT_FALSE(ChangedTaskXml(L"<Task>unterminated", scheduled, L"K.exe", L"2026-12-07"));
}

// A logon set by hand in the Task Scheduler, which Kestrow does not offer,
// reads back as such and stays in the task through a change.
TEST(TaskDefinition, ALogonSetByHandReadsBackAndIsKeptThroughAChange) {
    const auto taskWith = [](const std::wstring& principal) {
        return L"<Task version=\"1.2\"><RegistrationInfo/><Triggers/><Principals><Principal id=\"Author\">" + principal +
               L"</Principal></Principals><Actions><Exec/></Actions></Task>";
    };
    const std::vector<std::tuple<std::wstring, TaskLogon, NightLogon>> logons = {
        {L"<UserId>ann</UserId><LogonType>InteractiveToken</LogonType>", TaskLogon::InteractiveToken,
         NightLogon::WhenLoggedOn},
        {L"<UserId>ann</UserId><LogonType>Password</LogonType>", TaskLogon::Password, NightLogon::WhetherLoggedOnOrNot},
        {L"<UserId>ann</UserId><LogonType>InteractiveTokenOrPassword</LogonType>", TaskLogon::Password,
         NightLogon::WhetherLoggedOnOrNot},
        {L"<UserId>ann</UserId><LogonType>S4U</LogonType>", TaskLogon::S4U, NightLogon::AsSetInTheTask},
        {L"<GroupId>S-1-5-32-545</GroupId>", TaskLogon::Group, NightLogon::AsSetInTheTask},
        {L"<UserId>nt authority\\system</UserId>", TaskLogon::ServiceAccount, NightLogon::AsSetInTheTask},
        {L"<UserId>ann</UserId>", TaskLogon::InteractiveToken, NightLogon::WhenLoggedOn},
        {L"<UserId>ann</UserId><LogonType>Batch</LogonType>", TaskLogon::Unknown, NightLogon::AsSetInTheTask},
    };
    ScheduledNight scheduled{SampleNight(), NightTime{2, 0}, kEveryDay, NightLogon::AsSetInTheTask};
    for (const auto& [principal, taskLogon, nightLogon] : logons) {
        const TaskReading read = ReadTaskXml(taskWith(principal));
        EXPECT_EQ(read.taskLogon, taskLogon) << principal.size();
        EXPECT_EQ(read.logon, nightLogon) << principal.size();
        EXPECT_EQ(ReadTaskXml(*ChangedTaskXml(taskWith(principal), scheduled, L"K.exe", L"2026-12-07")).taskLogon, taskLogon)
            << principal.size();
    }
    // Chosen in Kestrow, the logon replaces the one set by hand.
    scheduled.logon = NightLogon::WhenLoggedOn;
    EXPECT_EQ(ReadTaskXml(*ChangedTaskXml(taskWith(std::get<0>(logons[3])), scheduled, L"K.exe", L"2026-12-07")).logon,
              NightLogon::WhenLoggedOn);

    // Saved to its own folder the task's logon stays; a night for another
    // folder is a new task and starts in the user's session.
    scheduled.logon = NightLogon::AsSetInTheTask;
    NightFields fields = FieldsOfNight(scheduled);
    EXPECT_EQ(CheckNightFields(fields, StoredSettings{}).night->logon, NightLogon::AsSetInTheTask);
    fields.folder = L"D:\\Projects\\Other";
    EXPECT_EQ(CheckNightFields(fields, StoredSettings{}).night->logon, NightLogon::WhenLoggedOn);
}

TEST(TaskNames, EachFolderKeepsItsOwnTask) {
    const std::vector<KnownTask> tasks = {{L"Nightly - Drawings", L"D:\\A\\X\\Drawings"},
                                          {L"Nightly - Parts", std::nullopt},
                                          {L"Nightly - Drawings (X)", L"E:\\B\\X\\Drawings"}};
    struct Case {
        std::wstring folder, name;
        bool exists;
    };
    const std::vector<Case> cases = {
        {L"d:\\a\\x\\DRAWINGS\\", L"Nightly - Drawings", true},         // the same folder, any case
        {L"E:\\B\\X\\Drawings", L"Nightly - Drawings (X)", true},
        {L"F:\\C\\X\\Drawings", L"Nightly - Drawings (C, X)", false},   // up until the names differ
        {L"F:\\C\\Y\\Drawings", L"Nightly - Drawings (Y)", false},
        {L"D:\\Parts", L"Nightly - Parts (Drive D)", false},            // a task that names no folder is no one's
        {L"D:\\Sheets", L"Nightly - Sheets", false},
        {L"D:\\", L"Nightly - Drive D", false},
        {L"\\\\server\\cad", L"Nightly - cad", false},
    };
    for (const Case& c : cases) {
        const TaskForFolder chosen = TaskNameForFolder(c.folder, tasks);
        EXPECT_EQ(chosen.name, c.name);
        EXPECT_EQ(chosen.exists, c.exists) << c.name.size();
        EXPECT_TRUE(IsTaskName(chosen.name));
    }
    for (const wchar_t* bad : {L"", L"..", L"..\\Other", L"a/b", L"a:b"}) EXPECT_FALSE(IsTaskName(bad));
}

TEST(ScheduleCommand, ReadsSetListAndDelete) {
    const ScheduleCommand set = ParseScheduleCommand(
        {L"/schedule", L"02:30", L"-DAYS", L"mon,fri", L"/update", L"D:\\A", L"/export", L"pdf", L"/resume"});
    ASSERT_EQ(set.kind, ScheduleCommand::Kind::Set) << set.error.size();
    EXPECT_EQ(set.night.time, (NightTime{2, 30}));
    EXPECT_EQ(set.night.days, 0x11);
    EXPECT_EQ(set.night.night.folder, L"D:\\A");
    EXPECT_EQ(set.night.night.exports, std::vector<ExportFormat>{ExportFormat::Pdf});
    EXPECT_EQ(ParseScheduleCommand({L"/schedule", L"02:30", L"/update", L"D:\\A"}).night.days, kEveryDay);
    EXPECT_EQ(ParseScheduleCommand({L"/schedule", L"LIST"}).kind, ScheduleCommand::Kind::List);
    const ScheduleCommand deleted = ParseScheduleCommand({L"/schedule", L"delete", L"Nightly - A"});
    EXPECT_EQ(deleted.kind, ScheduleCommand::Kind::Delete);
    EXPECT_EQ(deleted.taskName, L"Nightly - A");
    const std::vector<std::pair<std::vector<std::wstring>, std::wstring>> refused = {
        {{L"/schedule"}, L"needs a time"},
        {{L"/schedule", L"25:00", L"/update", L"D:\\A"}, L"from 00:00 to 23:59"},
        {{L"/schedule", L"02:00", L"/days", L"someday", L"/update", L"D:\\A"}, L"/days takes days"},
        {{L"/schedule", L"02:00"}, L"needs /update"},
        {{L"/schedule", L"list", L"extra"}, L"takes nothing more"},
        {{L"/schedule", L"delete", L"..\\Other task"}, L"is no name of a task"},
        {{L"/schedule", L"delete"}, L"needs the name of one task"},
        // The Task Scheduler would put a variable in place of %...%.
        {{L"/schedule", L"02:00", L"/update", L"D:\\%USERNAME%"}, L"The folder \"D:\\%USERNAME%\" holds \"%\""},
        {{L"/schedule", L"02:00", L"/update", L"D:\\A", L"/log", L"D:\\100%.csv"}, L"The log"},
        {{L"/schedule", L"02:00", L"/update", L"D:\\A", L"/export", L"pdf", L"/exportto", L"E:\\%X%"},
         L"The folder of the exports"},
        {{L"/schedule", L"02:00", L"/update", L"D:\\A", L"/answer", L"100% done=OK"}, L"The rule"},
        {{L"/schedule", L"02:00", L"/update", L"D:\\A", L"/queue", L"DSN=%NIGHTS%"}, L"The database's connection"},
    };
    for (const auto& [arguments, why] : refused) {
        const ScheduleCommand command = ParseScheduleCommand(arguments);
        EXPECT_EQ(command.kind, ScheduleCommand::Kind::Invalid);
        EXPECT_NE(command.error.find(why), std::wstring::npos) << arguments.size();
    }
    EXPECT_TRUE(AsksForSchedule({L"/update", L"D:\\A", L"-Schedule", L"list"}));
    EXPECT_FALSE(AsksForSchedule({L"/update", L"D:\\schedule"}));
}

TEST(SettingsDialog, StoresSoundFieldsAndRefusesWhatIsOutOfRange) {
    StoredSettings byHand;
    byHand.restartEvery = 5000000;  // out of range, as written by reg add
    byHand.answers = {L"Missing references=OK"};
    byHand.exports = L"DXF,tiff,pdf";
    SettingsFields fields = FieldsOfStored(byHand);
    EXPECT_EQ(fields.sessions, L"1");
    EXPECT_EQ(fields.restartEvery, L"5000000") << "a value set by hand shows as it is";
    EXPECT_EQ(fields.exports, (std::vector<ExportFormat>{ExportFormat::Pdf, ExportFormat::Dxf}));
    EXPECT_EQ(CheckSettings(fields).field, SettingsField::RestartEvery);

    struct Case {
        std::wstring sessions, every, memory, call, answers;
        std::optional<SettingsField> refused;
    };
    const std::vector<Case> cases = {
        {L"8", L"1000000", L"1048576", L"604800", L"a=OK\r\n\r\n  *newer*=Yes  ", std::nullopt},
        {L" 1 ", L"", L"", L"", L"", std::nullopt},
        {L"0", L"", L"", L"", L"", SettingsField::Sessions},
        {L"9", L"", L"", L"", L"", SettingsField::Sessions},
        {L"", L"", L"", L"", L"", SettingsField::Sessions},
        {L"2", L"1000001", L"", L"", L"", SettingsField::RestartEvery},
        {L"2", L"1e3", L"", L"", L"", SettingsField::RestartEvery},
        {L"2", L"", L"1048577", L"", L"", SettingsField::RestartMemory},
        {L"2", L"", L"-5", L"", L"", SettingsField::RestartMemory},
        {L"2", L"", L"", L"604801", L"", SettingsField::CallSeconds},
        {L"2", L"", L"", L"0", L"", SettingsField::CallSeconds},
        {L"2", L"", L"", L"", L"a=OK\r\nno rule here", SettingsField::Answers},
    };
    for (const Case& c : cases) {
        fields = SettingsFields{c.sessions, c.every, c.memory, c.call, c.answers, {ExportFormat::Dwg}};
        const SettingsCheck check = CheckSettings(fields);
        EXPECT_EQ(check.values.has_value(), !c.refused) << c.sessions.size() << c.every.size() << c.memory.size();
        if (c.refused) EXPECT_EQ(check.field, *c.refused);
    }
    const SettingsCheck sound =
        CheckSettings({L"8", L"1000000", L"", L" 90", L"a=OK\r\n\r\n  *newer*=Yes  ", {ExportFormat::Dwg}});
    ASSERT_TRUE(sound.values);
    EXPECT_EQ(sound.values->answers, (std::vector<std::wstring>{L"a=OK", L"*newer*=Yes"}));
    EXPECT_EQ(sound.values->exports, L"dwg");
    EXPECT_EQ(sound.values->callSeconds, 90u);
    EXPECT_EQ(FieldsOfStored(*sound.values).callSeconds, L"90");
    EXPECT_FALSE(sound.values->restartMemoryMB);
    EXPECT_NE(CheckSettings({L"2", L"0", L"", L"", L"", {}}).refusal.find(L"from 1 to 1,000,000"), std::wstring::npos);
    EXPECT_NE(CheckSettings({L"2", L"", L"", L"", L"x\r\nbad", {}}).refusal.find(L"Line 1"), std::wstring::npos);

    // What an administrator set is not the user's to mend, and not stored;
    // the fields left to the user are checked as ever.
    const std::set<SettingsField> theirs = {SettingsField::Sessions, SettingsField::CallSeconds, SettingsField::Answers,
                                            SettingsField::Queue};
    EXPECT_EQ(CheckSettings({L"99", L"", L"-5", L"", L"no rule", {}}, theirs).field, SettingsField::RestartMemory);
    const SettingsCheck mine = CheckSettings({L"99", L"20", L"", L"0", L"no rule", {}, L"DSN=cad;Pwd=x"}, theirs);
    ASSERT_TRUE(mine.values);
    EXPECT_FALSE(mine.values->sessions);
    EXPECT_TRUE(mine.values->answers.empty());
    EXPECT_FALSE(mine.values->callSeconds);
    EXPECT_TRUE(mine.values->queue.empty());
    EXPECT_EQ(mine.values->restartEvery, 20u);
    // The shared nights' database: kept without a password, or not at all.
    EXPECT_EQ(CheckSettings({L"1", L"", L"", L"", L"", {}, L"  DSN=cad  "}).values->queue, L"DSN=cad");
    EXPECT_EQ(CheckSettings({L"1", L"", L"", L"", L"", {}, L"DSN=cad;Pwd=x"}).field, SettingsField::Queue);
    EXPECT_EQ(CheckSettings({L"1", L"", L"", L"", L"", {}, L"just a name"}).field, SettingsField::Queue);
}

TEST(ScheduleDialog, FieldsBecomeTheNightOrNameWhatIsWrong) {
    // A new night takes what the window's batch takes from the settings.
    StoredSettings stored;
    stored.sessions = 9;
    stored.restartEvery = 200;
    stored.restartMemoryMB = 0;
    stored.answers = {L"no rule", L"a=OK"};
    stored.exports = L"pdf";
    const Night fresh = NightOfSettings(L"D:\\A", stored).night;
    EXPECT_EQ(fresh.sessions, 1);
    EXPECT_EQ(fresh.restartEvery, 200);
    EXPECT_EQ(fresh.restartMemoryMB, 0);
    EXPECT_EQ(fresh.answers.size(), 1u);
    EXPECT_EQ(fresh.exports, std::vector<ExportFormat>{ExportFormat::Pdf});
    EXPECT_EQ(fresh.timeoutSeconds, std::int64_t{600});
    stored.callSeconds = 90;  // the call limit a check suggested
    EXPECT_EQ(NightOfSettings(L"D:\\A", stored).night.timeoutSeconds, 90);
    stored.callSeconds.reset();

    ScheduledNight loaded{SampleNight(), NightTime{2, 0}, 0x13, NightLogon::WhenLoggedOn};
    loaded.night.shardIndex = 3;
    loaded.night.shardCount = 4;
    loaded.night.exportFolder = L"X:\\Out";
    NightFields fields = FieldsOfNight(loaded);
    const NightCheck same = CheckNightFields(fields, stored);
    ASSERT_TRUE(same.night);
    ExpectSameNight(same.night->night, loaded.night);
    EXPECT_EQ(same.night->days, 0x13);
    // Saved back to its own folder, however spelt, the night keeps what no
    // field shows; for another folder (another task) it starts as a new
    // night does, with a log of its own unless one is typed.
    NightFields spelt = fields;
    spelt.folder = L"d:\\projects\\DRAWINGS\\";
    EXPECT_EQ(CheckNightFields(spelt, stored).night->night.shardIndex, 3);
    NightFields moved = fields;
    moved.folder = L"D:\\Projects\\Other";
    const Night other = CheckNightFields(moved, stored).night->night;
    EXPECT_EQ(std::tuple(other.shardIndex, other.shardCount, other.exportFolder, other.restartEvery, other.restartMemoryMB,
                         other.log, other.sessions),
              std::tuple(1, 1, std::wstring(), std::int64_t{200}, std::int64_t{0}, std::wstring(), 3));
    moved.log = L"D:\\Logs\\other.csv";
    EXPECT_EQ(CheckNightFields(moved, stored).night->night.log, moved.log);

    // Shared with other computers: through the database the settings name,
    // or the one the night had; ticked for a new night when one is named.
    NightFields shared = fields;
    shared.shared = true;
    EXPECT_EQ(CheckNightFields(shared, stored).field, NightField::Shared) << "no database named yet";
    stored.queue = L"DSN=cad";
    EXPECT_EQ(CheckNightFields(shared, stored).night->night.queue, L"DSN=cad");
    EXPECT_TRUE(FieldsOfNight(NightOfSettings(L"D:\\B", stored)).shared);
    loaded.night.queue = L"DSN=other";
    NightFields kept = FieldsOfNight(loaded);
    EXPECT_TRUE(kept.shared);
    EXPECT_EQ(CheckNightFields(kept, stored).night->night.queue, L"DSN=other");
    kept.shared = false;
    EXPECT_EQ(CheckNightFields(kept, stored).night->night.queue, L"");
    stored.queue.clear();

    const std::vector<std::pair<std::function<void(NightFields&)>, NightField>> refused = {
        {[](NightFields& f) { f.folder = L"  "; }, NightField::Folder},
        {[](NightFields& f) { f.time = L"2 am"; }, NightField::Time},
        {[](NightFields& f) { f.days = 0; }, NightField::Days},
        {[](NightFields& f) { f.sessions = L"0"; }, NightField::Sessions},
        {[](NightFields& f) { f.timeout = L"604801"; }, NightField::Timeout},
        {[](NightFields& f) { f.answers = L"=OK"; }, NightField::Answers},
        {[](NightFields& f) { f.folder = L"D:\\%TEMP%"; }, NightField::Folder},
        {[](NightFields& f) { f.log = L"D:\\Logs\\%DATE%.csv"; }, NightField::Log},
        {[](NightFields& f) { f.answers = L"Saved 100%=OK"; }, NightField::Answers},
    };
    for (const auto& [spoil, field] : refused) {
        NightFields spoilt = fields;
        spoil(spoilt);
        const NightCheck check = CheckNightFields(spoilt, stored);
        EXPECT_FALSE(check.night);
        EXPECT_EQ(check.field, field);
        EXPECT_FALSE(check.refusal.empty());
    }
}

TEST(LastResult, SaysKestrowsExitCodesAndTheSchedulersOwnInWords) {
    EXPECT_EQ(LastResultText(0, L""), L"every draft stored");
    EXPECT_EQ(LastResultText(1, L""), L"some drafts not stored, exports failed or subfolders unread (see the log)");
    EXPECT_EQ(LastResultText(0x41303, L""), L"has not run yet");
    EXPECT_EQ(LastResultText(5, L""), L"the night's database could not be reached (see the log)");
    EXPECT_EQ(LastResultText(static_cast<std::int32_t>(0x800710E0), L"The operator refused."),
              L"ended with code 0x800710E0: The operator refused.");
}
