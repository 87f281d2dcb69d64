#include "check/DatabaseFindings.h"

#include <cstdio>

namespace kestrow {
namespace {

std::wstring Milliseconds(double milliseconds) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f ms", milliseconds);
    return text;
}

std::wstring Joined(const std::vector<std::wstring>& parts) {
    std::wstring text;
    for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? L"" : L", ") + parts[i];
    return text;
}

}  // namespace

std::vector<Finding> DatabaseFindings(const DatabaseFacts& facts) {
    std::vector<Finding> findings;
    const auto add = [&findings](FindingMark mark, const wchar_t* topic, std::wstring figure, std::wstring text,
                                 std::wstring mend = {}) {
        findings.push_back(Finding{mark, topic, std::move(figure), std::move(text), std::move(mend), std::nullopt});
    };
    if (facts.engine.empty()) {
        add(FindingMark::Problem, L"database", L"", L"the night's database (" + facts.connection + L") could not be used: " + facts.failure,
            L"mend the connection (its driver, server, database and user), then check again");
        return findings;
    }
    add(FindingMark::Ok, L"database", L"", facts.engine + L" answered, with this computer as " + facts.computer);
    if (!facts.tablesPresent) {
        if (!facts.failure.empty()) {
            add(FindingMark::Problem, L"tables", L"", L"Kestrow's tables could not be looked at: " + facts.failure);
            return findings;
        }
        add(FindingMark::Note, L"tables", L"",
            L"no Kestrow tables yet: the first night makes them if its user may create tables; otherwise a database "
            L"administrator runs " + facts.tablesScript + L" and " + facts.rightsScript + L" (beside Kestrow.exe)");
        return findings;
    }
    add(FindingMark::Ok, L"tables", L"", L"Kestrow's tables are there");
    if (!facts.missingRights.empty()) {
        add(FindingMark::Problem, L"rights", L"", L"the user lacks rights a night needs: " + Joined(facts.missingRights),
            L"a database administrator runs " + facts.rightsScript + L" (beside Kestrow.exe)");
        return findings;
    }
    add(FindingMark::Ok, L"rights", L"", L"the user may read, add and change the night's rows, and no more is asked");
    if (!facts.tripMilliseconds) {
        add(FindingMark::Problem, L"take a draft", L"", L"a draft could not be listed, taken and stored there: " + facts.failure,
            L"see what the database says, and check again");
        return findings;
    }
    add(FindingMark::Ok, L"take a draft", Milliseconds(*facts.tripMilliseconds),
        L"a draft listed, taken (" + Milliseconds(facts.takeMilliseconds.value_or(0)) +
            L"), renewed and stored, then all of it undone");
    return findings;
}

}  // namespace kestrow
