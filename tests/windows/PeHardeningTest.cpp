// Reads Kestrow.exe's PE header and import table: it must ask for ASLR
// (with high entropy) and DEP, and depend on Windows' own DLLs only.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

std::vector<unsigned char> ReadProgram(const std::wstring& path = kestrow::wintest::KestrowExe()) {
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

struct Pe {
    const std::vector<unsigned char>& bytes;
    const IMAGE_NT_HEADERS64* nt() const {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        return reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes.data() + dos->e_lfanew);
    }
    // File offset of a relative virtual address.
    size_t Offset(DWORD rva) const {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt());
        for (WORD i = 0; i < nt()->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
                return rva - section->VirtualAddress + section->PointerToRawData;
        return 0;
    }
};

// The DLLs a program's import table names, in lower case.
std::set<std::string> ImportedDlls(const std::vector<unsigned char>& bytes) {
    Pe pe{bytes};
    const IMAGE_DATA_DIRECTORY& directory = pe.nt()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::string> imported;
    if (directory.VirtualAddress == 0) return imported;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(bytes.data() + pe.Offset(directory.VirtualAddress));
         entry->Name != 0; ++entry) {
        std::string name = reinterpret_cast<const char*>(bytes.data() + pe.Offset(entry->Name));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        imported.insert(name);
    }
    return imported;
}

}  // namespace

TEST(PeHardening, AslrHighEntropyAndDepAreRequested) {
    const auto bytes = ReadProgram();
    ASSERT_GT(bytes.size(), 4096u);
    Pe pe{bytes};
    ASSERT_EQ(pe.nt()->Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
    ASSERT_EQ(pe.nt()->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    const WORD flags = pe.nt()->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    // ASLR needs the relocations to be kept.
    EXPECT_FALSE(pe.nt()->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_EQ(pe.nt()->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(PeHardening, ImportsOnlyWindowsSystemDlls) {
    const auto bytes = ReadProgram();
    ASSERT_GT(bytes.size(), 4096u);
    const std::set<std::string> imported = ImportedDlls(bytes);
    const std::set<std::string> system = {"kernel32.dll", "user32.dll",  "gdi32.dll",    "shell32.dll",
                                          "ole32.dll",    "oleaut32.dll", "comctl32.dll", "advapi32.dll",
                                          "msvcrt.dll"};
    for (const auto& name : imported) EXPECT_TRUE(system.count(name)) << name << " is not a Windows system DLL";
    EXPECT_TRUE(imported.count("kernel32.dll"));
}

// Windows sends a console program that loads user32 or gdi32 no log-off or
// shutdown event: Kestrow.com, which waits for Kestrow.exe, must hear them.
TEST(PeHardening, TheConsoleTwinImportsNeitherUser32NorGdi32) {
    const std::wstring exe = kestrow::wintest::KestrowExe();
    const auto bytes = ReadProgram(exe.substr(0, exe.size() - 4) + L".com");
    ASSERT_GT(bytes.size(), 4096u);
    const std::set<std::string> imported = ImportedDlls(bytes);
    EXPECT_TRUE(imported.count("kernel32.dll"));
    for (const char* dll : {"user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "comctl32.dll"})
        EXPECT_FALSE(imported.count(dll)) << dll;
}

TEST(PeHardening, StackProtectorIsBuiltIn) {
    const auto bytes = ReadProgram();
    const std::string text(bytes.begin(), bytes.end());
    // The canary's check routine is linked in statically, not from a DLL.
    EXPECT_NE(text.find("__stack_chk_fail"), std::string::npos);
    EXPECT_EQ(text.find("libssp"), std::string::npos);
}

TEST(VersionRecord, SaysKestrowVersionOneHundredths) {
    const std::wstring path = kestrow::wintest::KestrowExe();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    auto value = [&](const wchar_t* name) {
        wchar_t* text = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        return VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) && text
                   ? std::wstring(text)
                   : std::wstring();
    };
    EXPECT_EQ(value(L"FileVersion"), L"1.00");
    EXPECT_EQ(value(L"ProductVersion"), L"1.00");
    EXPECT_EQ(value(L"FileDescription"), L"Kestrow");
    EXPECT_EQ(value(L"ProductName"), L"Kestrow");
    EXPECT_EQ(value(L"InternalName"), L"Kestrow");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
}
