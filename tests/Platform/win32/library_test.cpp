// LoadLibraryW / GetProcAddress / FreeLibrary over the dynamic loader.
#include <windows.h>

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <string>

namespace {

// The temporary directory is ASCII; widen it unit by unit so that the test
// does not convert with the functions under test.
std::u16string widenAscii(const std::string& text)
{
    std::u16string wide;
    for (char c : text) {
        EXPECT_GE(static_cast<unsigned char>(c), 0x20);
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
        wide += char16_t(c);
    }
    return wide;
}

class LibraryTest : public testing::Test {
protected:
    void SetUp() override
    {
        // The same bytes the UTF-16 name below converts to.
        const std::filesystem::path folder = std::filesystem::path(d_temp.path()) / "Bibliothèque 日本";
        std::filesystem::create_directory(folder);
        std::filesystem::copy_file(ZIV_TEST_PROBE_LIBRARY, folder / "プローブ.dll");
        d_folder = widenAscii(d_temp.path()) + u"/Bibliothèque 日本/";
    }

    ZivTest::TempDirectory d_temp;
    std::u16string d_folder;
};

using ProbeAnswer = int (*)();
using ProbeLength = size_t (*)(const char*);

// FARPROC is a generic function pointer; void(*)() converts to any other.
template <typename Fn> Fn bind(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

} // namespace

TEST_F(LibraryTest, LoadsByNonAsciiPathAndFindsExports)
{
    const std::u16string path = d_folder + u"プローブ.dll";
    HMODULE library = LoadLibraryW(path.c_str());
    ASSERT_NE(library, nullptr) << "error " << GetLastError();

    const auto answer = bind<ProbeAnswer>(library, "zivProbeAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(42, answer());
    const auto length = bind<ProbeLength>(library, "zivProbeLength");
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(5u, length("hello"));

    // Loading the same file again gives the same module.
    HMODULE again = LoadLibraryW(path.c_str());
    EXPECT_EQ(again, library);
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_TRUE(FreeLibrary(library));
}

TEST_F(LibraryTest, LoadsLocallyAndResolvesImmediately)
{
    const std::u16string path = d_folder + u"プローブ.dll";
    HMODULE library = LoadLibraryW(path.c_str());
    ASSERT_NE(library, nullptr);
    // Local: the library's symbols do not join the process's global scope.
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "zivProbeAnswer"), nullptr);
    EXPECT_TRUE(FreeLibrary(library));

    // Immediate binding: an unresolvable reference fails the load, not a later call.
    const std::u16string unresolved = widenAscii(ZIV_TEST_UNRESOLVED_LIBRARY);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(unresolved.c_str()), nullptr);
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_F(LibraryTest, GetProcAddressSeesOnlyTheLibrarysOwnExports)
{
    const std::u16string path = d_folder + u"プローブ.dll";
    HMODULE library = LoadLibraryW(path.c_str());
    ASSERT_NE(library, nullptr);
    for (const char* name : {"zivProbeHidden", "strlen", "malloc", "zivNoSuchExport", ""}) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(library, name), nullptr) << name;
        EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError()) << name;
    }
    // An ordinal (a "name" below 0x10000) must not be dereferenced.
    EXPECT_EQ(GetProcAddress(library, reinterpret_cast<LPCSTR>(uintptr_t(1))), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "zivProbeAnswer"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "malloc"), nullptr) << "a null module does not search the process";
    EXPECT_TRUE(FreeLibrary(library));
}

TEST_F(LibraryTest, TheExactNameIsUsed)
{
    const auto expectNotFound = [](const std::u16string& path) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryW(path.c_str()), nullptr);
        EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
    };
    expectNotFound(d_folder + u"missing.dll");
    expectNotFound(d_folder + u"プローブ");        // no suffix is added
    expectNotFound(d_folder + u"プローブ.dll.so"); // nor replaced
    expectNotFound(d_folder + u"ブローブ.dll");    // a different name
    // A folder name that is not valid UTF-16 cannot name a file.
    std::u16string broken = d_folder;
    broken.back() = char16_t(0xD800);
    expectNotFound(broken + u"プローブ.dll");
}

TEST(Library, BareNameGoesThroughTheLoaderSearch)
{
    HMODULE library = LoadLibraryW(u"libc.so.6");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(GetProcAddress(library, "strlen"), nullptr);
    EXPECT_TRUE(FreeLibrary(library));
}

TEST(Library, RejectsEmptyAndNullNames)
{
    // dlopen of an empty name would hand back the main program.
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(u""), nullptr);
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

// The safe search: a bare name is looked for among loaded libraries and in the
// folders the flags name, never in the current directory; a library's own
// file is found from an address inside it.
TEST_F(LibraryTest, SearchFlagsNeverLookInTheCurrentDirectory)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(d_temp.path()) / "Bibliothèque 日本");
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExW(u"プローブ.dll", nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS), nullptr);
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(LoadLibraryExW(u"プローブ.dll", nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR), nullptr);
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError()) << "for full paths only";
    EXPECT_EQ(LoadLibraryExW(u"プローブ.dll", nullptr, 0x8 /* LOAD_WITH_ALTERED_SEARCH_PATH */), nullptr);
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    std::filesystem::current_path(before);

    // The system folder holds the C library.
    HMODULE system = LoadLibraryExW(u"libc.so.6", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(FreeLibrary(system));

    // A full path loads; then the bare name finds the loaded library by its
    // soname, and the library finds its own file.
    const std::u16string path = d_folder + u"プローブ.dll";
    HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR);
    ASSERT_NE(library, nullptr);
    const FARPROC answer = GetProcAddress(library, "zivProbeAnswer");
    HMODULE found = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(answer), &found));
    EXPECT_EQ(GetProcAddress(found, "zivProbeAnswer"), answer);
    WCHAR name[512];
    const DWORD length = GetModuleFileNameW(found, name, 512);
    EXPECT_EQ(path, std::u16string(name, length));
    SetLastError(0);
    EXPECT_EQ(5u, GetModuleFileNameW(found, name, 5)) << "cut to the buffer";
    EXPECT_EQ(path.substr(0, 4) + u'\0', std::u16string(name, 5));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_FALSE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, u"x", &found)) << "only by address";
    EXPECT_TRUE(FreeLibrary(library));
}
