#include "schedule/TaskDefinition.h"

#include <array>

#include "common/CaseFold.h"
#include "common/CommandLineWords.h"
#include "schedule/XmlText.h"

namespace kestrow {
namespace {

constexpr std::array<const wchar_t*, kDaysInWeek> kDayElements = {L"Monday", L"Tuesday",  L"Wednesday", L"Thursday",
                                                                 L"Friday", L"Saturday", L"Sunday"};

// A new task with a logon AsSetInTheTask (the task it came from is gone)
// runs in the user's session, as a new night does.
const wchar_t* LogonTypeName(NightLogon logon) {
    return logon == NightLogon::WhetherLoggedOnOrNot ? L"Password" : L"InteractiveToken";
}

bool IsServiceAccount(const std::wstring& user) {
    for (const wchar_t* account : {L"S-1-5-18", L"S-1-5-19", L"S-1-5-20", L"SYSTEM", L"LOCAL SERVICE", L"NETWORK SERVICE",
                                   L"NT AUTHORITY\\SYSTEM", L"NT AUTHORITY\\LOCAL SERVICE", L"NT AUTHORITY\\NETWORK SERVICE"})
        if (SameIgnoringCase(user, account)) return true;
    return false;
}

// The principal's logon: its LogonType, or what the Task Scheduler takes
// when it names none (a group's or a service account's principal).
TaskLogon TaskLogonOf(const std::wstring& xml, const XmlElement& principal) {
    const std::optional<XmlElement> type = ChildNamed(xml, principal, L"LogonType");
    if (!type) {
        if (ChildNamed(xml, principal, L"GroupId")) return TaskLogon::Group;
        const std::optional<XmlElement> user = ChildNamed(xml, principal, L"UserId");
        return user && IsServiceAccount(TextOf(xml, *user)) ? TaskLogon::ServiceAccount : TaskLogon::InteractiveToken;
    }
    const std::wstring name = TextOf(xml, *type);
    if (name == L"InteractiveToken") return TaskLogon::InteractiveToken;
    if (name == L"Password" || name == L"InteractiveTokenOrPassword") return TaskLogon::Password;
    if (name == L"S4U") return TaskLogon::S4U;
    if (name == L"Group") return TaskLogon::Group;
    if (name == L"ServiceAccount") return TaskLogon::ServiceAccount;
    return TaskLogon::Unknown;
}

NightLogon NightLogonOf(TaskLogon logon) {
    switch (logon) {
        case TaskLogon::InteractiveToken: return NightLogon::WhenLoggedOn;
        case TaskLogon::Password: return NightLogon::WhetherLoggedOnOrNot;
        default: return NightLogon::AsSetInTheTask;
    }
}

std::wstring TriggerXml(const ScheduledNight& night, const std::wstring& today) {
    std::wstring schedule;
    if ((night.days & kEveryDay) == kEveryDay) {
        schedule = L"<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay>";
    } else {
        schedule = L"<ScheduleByWeek><DaysOfWeek>";
        for (int day = 0; day < kDaysInWeek; ++day)
            if (night.days & (1u << day)) schedule += std::wstring(L"<") + kDayElements[static_cast<size_t>(day)] + L"/>";
        schedule += L"</DaysOfWeek><WeeksInterval>1</WeeksInterval></ScheduleByWeek>";
    }
    // A start without a time zone is local time: the night stays at its hour
    // across a change to or from summer time.
    return std::wstring(L"<CalendarTrigger id=\"") + kKestrowTriggerId + L"\"><StartBoundary>" + today + L"T" +
           NightTimeText(night.time) + L":00</StartBoundary>" + schedule + L"</CalendarTrigger>";
}

std::wstring ActionXml(const Night& night, const std::wstring& program) {
    return std::wstring(L"<Exec id=\"") + kKestrowActionId + L"\"><Command>" + EscapedXml(QuotedArgument(program)) +
           L"</Command><Arguments>" + EscapedXml(NightArgumentsText(night)) + L"</Arguments></Exec>";
}

// What Kestrow writes of the registration: where the task came from, the
// folder (which a Task Scheduler that drops the actions still keeps), and
// the night in words.
std::wstring SourceXml() { return L"<Source>Kestrow</Source>"; }
std::wstring FolderNoteXml(const ScheduledNight& night) {
    return L"<Documentation>" + EscapedXml(night.night.folder) + L"</Documentation>";
}
std::wstring DescriptionXml(const ScheduledNight& night) {
    return L"<Description>" + EscapedXml(NightDescription(night)) + L"</Description>";
}
std::wstring RegistrationXml(const ScheduledNight& night) {
    return SourceXml() + FolderNoteXml(night) + DescriptionXml(night);
}

std::wstring Replaced(const std::wstring& text, size_t begin, size_t end, const std::wstring& with) {
    return text.substr(0, begin) + with + text.substr(end);
}

// `element` with `content` as its whole content.
std::wstring WithContent(const std::wstring& xml, const XmlElement& element, const std::wstring& content) {
    if (!element.selfClosed) return Replaced(xml, element.contentBegin, element.contentEnd, content);
    return Replaced(xml, element.begin, element.end,
                    L"<" + xml.substr(element.begin + 1, element.contentBegin - element.begin - 3) + L">" + content +
                        L"</" + element.name + L">");
}

// The one child of `container` with Kestrow's id replaced by `part`, or
// `part` added at the end of the container.
std::wstring WithKestrowPart(const std::wstring& xml, const XmlElement& container, const wchar_t* id,
                             const std::wstring& part) {
    for (const XmlElement& child : ChildElements(xml, container.contentBegin, container.contentEnd))
        if (AttributeOf(child, L"id") == id) return Replaced(xml, child.begin, child.end, part);
    if (container.selfClosed) return WithContent(xml, container, part);
    return Replaced(xml, container.contentEnd, container.contentEnd, part);
}

std::optional<XmlElement> TaskElement(const std::wstring& xml) {
    for (const XmlElement& element : TopElements(xml))
        if (element.name == L"Task") return element;
    return std::nullopt;
}

// `xml` with the child `name` of the task given by `change`, or with
// `whole` added to the task when it has no such child. Read again after each
// change, so that every position is current.
template <typename Change>
std::optional<std::wstring> WithTaskChild(const std::wstring& xml, const std::wstring& name, const std::wstring& whole,
                                          Change change) {
    const std::optional<XmlElement> task = TaskElement(xml);
    if (!task || task->selfClosed) return std::nullopt;
    if (const std::optional<XmlElement> child = ChildNamed(xml, *task, name)) return change(xml, *child);
    return Replaced(xml, task->contentEnd, task->contentEnd, whole);
}

}  // namespace

std::wstring NightCommandLine(const std::wstring& program, const Night& night) {
    return QuotedArgument(program, true) + L" " + NightArgumentsText(night);
}

std::wstring NewTaskXml(const ScheduledNight& night, const std::wstring& program, const std::wstring& today) {
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
           L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
           L"  <RegistrationInfo>" +
           RegistrationXml(night) +
           L"</RegistrationInfo>\n"
           L"  <Triggers>" +
           TriggerXml(night, today) +
           L"</Triggers>\n"
           L"  <Principals><Principal id=\"Author\"><LogonType>" +
           LogonTypeName(night.logon) +
           L"</LogonType><RunLevel>LeastPrivilege</RunLevel></Principal></Principals>\n"
           // A second start while a night runs would find its log in use; a
           // workstation on battery power still runs its night.
           L"  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
           L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
           L"<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><Enabled>true</Enabled></Settings>\n"
           L"  <Actions Context=\"Author\">" +
           ActionXml(night.night, program) + L"</Actions>\n</Task>\n";
}

std::optional<std::wstring> ChangedTaskXml(const std::wstring& existing, const ScheduledNight& night,
                                           const std::wstring& program, const std::wstring& today) {
    std::optional<std::wstring> xml = existing;
    for (const auto& part : {std::pair{L"Source", SourceXml()}, std::pair{L"Documentation", FolderNoteXml(night)},
                             std::pair{L"Description", DescriptionXml(night)}}) {
        const std::wstring name = part.first;
        const std::wstring& element = part.second;
        xml = WithTaskChild(*xml, L"RegistrationInfo", L"<RegistrationInfo>" + element + L"</RegistrationInfo>",
                            [&](const std::wstring& text, const XmlElement& info) {
                                if (const std::optional<XmlElement> old = ChildNamed(text, info, name))
                                    return Replaced(text, old->begin, old->end, element);
                                return info.selfClosed ? WithContent(text, info, element)
                                                       : Replaced(text, info.contentBegin, info.contentBegin, element);
                            });
        if (!xml) return std::nullopt;
    }
    if (!xml) return std::nullopt;
    const std::wstring trigger = TriggerXml(night, today);
    xml = WithTaskChild(*xml, L"Triggers", L"<Triggers>" + trigger + L"</Triggers>",
                        [&](const std::wstring& text, const XmlElement& triggers) {
                            return WithKestrowPart(text, triggers, kKestrowTriggerId, trigger);
                        });
    if (!xml) return std::nullopt;
    const std::wstring action = ActionXml(night.night, program);
    xml = WithTaskChild(*xml, L"Actions", L"<Actions>" + action + L"</Actions>",
                        [&](const std::wstring& text, const XmlElement& actions) {
                            return WithKestrowPart(text, actions, kKestrowActionId, action);
                        });
    if (!xml) return std::nullopt;
    // The logon is that of the principal the task runs as; a task without
    // one runs as the user who registers it, and the logon is given then.
    const std::optional<XmlElement> task = TaskElement(*xml);
    const std::optional<XmlElement> principals = ChildNamed(*xml, *task, L"Principals");
    const std::optional<XmlElement> principal = principals ? ChildNamed(*xml, *principals, L"Principal") : std::nullopt;
    const std::optional<XmlElement> logon = principal ? ChildNamed(*xml, *principal, L"LogonType") : std::nullopt;
    if (logon && night.logon != NightLogon::AsSetInTheTask) xml = WithContent(*xml, *logon, LogonTypeName(night.logon));
    return xml;
}

TaskReading ReadTaskXml(const std::wstring& xml) {
    TaskReading reading;
    const std::optional<XmlElement> task = TaskElement(xml);
    if (!task) return reading;
    if (const std::optional<XmlElement> actions = ChildNamed(xml, *task, L"Actions")) {
        for (const XmlElement& action : ChildElements(xml, actions->contentBegin, actions->contentEnd)) {
            if (action.name != L"Exec" || AttributeOf(action, L"id") != kKestrowActionId) continue;
            const std::optional<XmlElement> command = ChildNamed(xml, action, L"Command");
            const std::optional<XmlElement> arguments = ChildNamed(xml, action, L"Arguments");
            if (command) {
                const std::vector<std::wstring> words = SplitArguments(TextOf(xml, *command));
                reading.program = words.empty() ? std::wstring() : words.front();
            }
            const NightReading night = ReadNightArguments(SplitArguments(arguments ? TextOf(xml, *arguments) : L""));
            if (night.ok) reading.night = night.night;
        }
    }
    if (const std::optional<XmlElement> triggers = ChildNamed(xml, *task, L"Triggers")) {
        for (const XmlElement& trigger : ChildElements(xml, triggers->contentBegin, triggers->contentEnd)) {
            if (AttributeOf(trigger, L"id") != kKestrowTriggerId) continue;
            if (const std::optional<XmlElement> start = ChildNamed(xml, trigger, L"StartBoundary")) {
                const std::wstring boundary = TextOf(xml, *start);
                const size_t t = boundary.find(L'T');
                if (t != std::wstring::npos) reading.time = ParseNightTime(boundary.substr(t + 1, 5));
            }
            if (ChildNamed(xml, trigger, L"ScheduleByDay")) reading.days = kEveryDay;
            const std::optional<XmlElement> week = ChildNamed(xml, trigger, L"ScheduleByWeek");
            const std::optional<XmlElement> days = week ? ChildNamed(xml, *week, L"DaysOfWeek") : std::nullopt;
            if (days) {
                NightDays named = 0;
                for (const XmlElement& day : ChildElements(xml, days->contentBegin, days->contentEnd))
                    for (int d = 0; d < kDaysInWeek; ++d)
                        if (day.name == kDayElements[static_cast<size_t>(d)]) named = static_cast<NightDays>(named | (1u << d));
                reading.days = named;
            }
        }
    }
    const std::optional<XmlElement> principals = ChildNamed(xml, *task, L"Principals");
    const std::optional<XmlElement> principal = principals ? ChildNamed(xml, *principals, L"Principal") : std::nullopt;
    if (principal) reading.taskLogon = TaskLogonOf(xml, *principal);
    reading.logon = NightLogonOf(reading.taskLogon);
    if (reading.night) {
        reading.folder = reading.night->folder;
    } else if (const std::optional<XmlElement> info = ChildNamed(xml, *task, L"RegistrationInfo")) {
        // Only a note Kestrow wrote itself names the folder.
        const std::optional<XmlElement> source = ChildNamed(xml, *info, L"Source");
        const std::optional<XmlElement> note = ChildNamed(xml, *info, L"Documentation");
        if (source && note && TextOf(xml, *source) == L"Kestrow" && !TextOf(xml, *note).empty())
            reading.folder = TextOf(xml, *note);
    }
    return reading;
}

}  // namespace kestrow
