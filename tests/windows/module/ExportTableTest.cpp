// What the built DLLs show the loader: exactly their plain, undecorated
// exports, and imports that a Windows machine has (system DLLs and, on 32-bit
// x86, the GCC support DLL that travels with ziv.dll).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WinTestSupport.h"

namespace {

// Reads a PE image as the loader mapped it: every RVA is an offset from the
// module's base.
class LoadedImage {
public:
    explicit LoadedImage(const std::wstring& path)
        : d_module(LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES))
    {
    }
    ~LoadedImage()
    {
        if (d_module != nullptr)
            FreeLibrary(d_module);
    }
    LoadedImage(const LoadedImage&) = delete;
    LoadedImage& operator=(const LoadedImage&) = delete;

    bool loaded() const { return d_module != nullptr; }

    std::vector<std::string> exportNames() const
    {
        std::vector<std::string> names;
        const IMAGE_DATA_DIRECTORY& entry = directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
        if (entry.VirtualAddress == 0)
            return names;
        const auto* exports = at<IMAGE_EXPORT_DIRECTORY>(entry.VirtualAddress);
        const auto* nameRvas = at<DWORD>(exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i)
            names.emplace_back(at<char>(nameRvas[i]));
        return names;
    }

    DWORD exportedFunctionCount() const
    {
        const IMAGE_DATA_DIRECTORY& entry = directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
        return entry.VirtualAddress == 0 ? 0 : at<IMAGE_EXPORT_DIRECTORY>(entry.VirtualAddress)->NumberOfFunctions;
    }

    // Imported DLL names in lower case.
    std::set<std::string> importedDlls() const
    {
        std::set<std::string> names;
        const IMAGE_DATA_DIRECTORY& entry = directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
        if (entry.VirtualAddress == 0)
            return names;
        for (const auto* import = at<IMAGE_IMPORT_DESCRIPTOR>(entry.VirtualAddress); import->Name != 0; ++import) {
            std::string name = at<char>(import->Name);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            names.insert(name);
        }
        return names;
    }

    WORD machine() const { return headers()->FileHeader.Machine; }

private:
    template <typename T> const T* at(DWORD rva) const
    {
        return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(d_module) + rva);
    }
    const IMAGE_NT_HEADERS* headers() const
    {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(d_module);
        return at<IMAGE_NT_HEADERS>(static_cast<DWORD>(dos->e_lfanew));
    }
    const IMAGE_DATA_DIRECTORY& directory(int index) const { return headers()->OptionalHeader.DataDirectory[index]; }

    HMODULE d_module;
};

bool isSystemDll(const std::string& name)
{
    static const std::set<std::string> system = {"kernel32.dll", "user32.dll",   "gdi32.dll",    "msvcrt.dll",
                                                 "ole32.dll",    "oleaut32.dll", "advapi32.dll", "windowscodecs.dll"};
    return system.count(name) != 0;
}

#if defined(__i386__)
constexpr WORD kMachine = IMAGE_FILE_MACHINE_I386;
const std::set<std::string> kRuntimeDlls = {"libgcc_s_dw2-1.dll"};
#else
constexpr WORD kMachine = IMAGE_FILE_MACHINE_AMD64;
const std::set<std::string> kRuntimeDlls = {};
#endif

void expectDeployableImports(const LoadedImage& image)
{
    for (const std::string& name : image.importedDlls()) {
        EXPECT_TRUE(isSystemDll(name) || kRuntimeDlls.count(name) != 0)
            << name << " would have to travel with the DLL (libstdc++ is meant to be linked in)";
    }
}

TEST(ExportTable, ZivShowsExactlyItsPlainNames)
{
    const LoadedImage image(ZivWinTest::programDirectory() + L"ziv.dll");
    ASSERT_TRUE(image.loaded()) << "error " << GetLastError();
    EXPECT_EQ(image.machine(), kMachine);
    std::vector<std::string> names = image.exportNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"createRenderer", "destroyRenderer", "getLastErrorString",
                                               "zivGetDamageRects", "zivInvalidateTarget",
                                               "zivSetDamageBackgroundColour", "zivSetDamageBackgroundSurface",
                                               "zivSetDamageBufferSlot", "zivSetDamageTracking", "zivSetSoftEdges"}));
    EXPECT_EQ(image.exportedFunctionCount(), 10u) << "no exports by ordinal alone";
    expectDeployableImports(image);
}

TEST(ExportTable, LoggerPluginShowsExactlyItsThreePlainNames)
{
    const LoadedImage image(ZivWinTest::programDirectory() + L"dll_logger.dll");
    ASSERT_TRUE(image.loaded()) << "error " << GetLastError();
    EXPECT_EQ(image.machine(), kMachine);
    std::vector<std::string> names = image.exportNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"CreatePlovLogger", "GetLogLevelFromIniFile", "unRecoveryError"}));
    EXPECT_EQ(image.exportedFunctionCount(), 3u);
    expectDeployableImports(image);
}

TEST(ExportTable, TheLoaderBindsThePlainNamesAndNoDecoratedOnes)
{
    HMODULE module = LoadLibraryW((ZivWinTest::programDirectory() + L"ziv.dll").c_str());
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    for (const char* name : {"createRenderer", "destroyRenderer", "getLastErrorString", "zivSetSoftEdges"})
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    // Neither stdcall nor C++ decorations.
    for (const char* name :
         {"_createRenderer", "_createRenderer@24", "createRenderer@24", "_destroyRenderer@4", "_getLastErrorString@0"})
        EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
    FreeLibrary(module);
}

} // namespace
