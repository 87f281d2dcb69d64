// The CAD system as it really is: the program its registration starts.
#include <gtest/gtest.h>

#include <set>

#include "common/CommandLineProgram.h"

using namespace kestrow;

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

TEST(CommandLineProgram, ReadAsTheSystemStartsIt) {
    const std::set<std::wstring> files = {
        L"C:\\Program Files\\Stand In\\KestrowStandIn.exe",
        L"C:\\Program Files\\Stand In\\Bare.exe",
        L"D:\\Program.exe",
        L"D:\\Program Files\\CAD\\Cad.exe",
        L"C:\\Tools\\Server.com",
        L"Server.exe",
    };
    const auto exists = [&](const std::wstring& path) { return files.count(path) != 0; };
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"\"C:\\Program Files\\Stand In\\KestrowStandIn.exe\" -Embedding",
         L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"},
        {L"C:\\Program Files\\Stand In\\KestrowStandIn.exe", L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"},
        {L"C:\\Program Files\\Stand In\\KestrowStandIn.exe /Automation -Embedding",
         L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"},
        {L"  C:\\Program Files\\Stand In\\KestrowStandIn.exe\t/Automation",
         L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"},
        // No extension: ".exe" is added, quoted or not.
        {L"C:\\Program Files\\Stand In\\Bare /Automation", L"C:\\Program Files\\Stand In\\Bare.exe"},
        {L"\"C:\\Program Files\\Stand In\\Bare\"", L"C:\\Program Files\\Stand In\\Bare.exe"},
        // The shortest run of words that names a file is what starts.
        {L"D:\\Program Files\\CAD\\Cad.exe", L"D:\\Program.exe"},
        {L"C:\\Tools\\Server.com -Embedding", L"C:\\Tools\\Server.com"},
        {L"Server.exe /a", L"Server.exe"},
        // A quoted program stands as written, an unclosed quote to the end.
        {L"\"C:\\Elsewhere\\Cad.exe\" /a", L"C:\\Elsewhere\\Cad.exe"},
        {L"\"C:\\Elsewhere\\Cad.exe", L"C:\\Elsewhere\\Cad.exe"},
        // Nothing that would start.
        {L"C:\\Elsewhere\\Cad.exe /a", L""},
        {L"", L""},
        {L"   ", L""},
        {L"\"\"", L""},
    };
    for (const auto& [command, program] : cases)
        EXPECT_EQ(ProgramOfCommandLine(command, exists), program) << Narrow(command);
    EXPECT_EQ(FileNameOf(L"C:\\Program Files\\Stand In\\KestrowStandIn.exe"), L"KestrowStandIn.exe");
    EXPECT_EQ(FileNameOf(L"Server.exe"), L"Server.exe");
}
