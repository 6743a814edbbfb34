// The Win32 subset over the C library and the dynamic loader.
//
// Text conversion is UTF-8 <-> UTF-16 for both CP_UTF8 and CP_ACP (the narrow
// code page of a Linux process is UTF-8), with the length, terminator and
// error rules of kernel32. Libraries are ELF shared objects loaded with
// dlopen under exactly the name given, or, with LoadLibraryExW's search
// flags, found in the folders those name (never the current directory).
#include <windows.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

thread_local DWORD t_lastError = 0;

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool isUtf8CodePage(UINT codePage)
{
    return codePage == CP_ACP || codePage == CP_UTF8;
}

bool isHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

int fail(DWORD error)
{
    t_lastError = error;
    return 0;
}

// One step of a UTF-8 decoder. An ill-formed sequence is consumed as its
// maximal subpart (the longest prefix that could still have started a valid
// sequence, at least one byte), which becomes one replacement character, the
// way Windows and the Unicode Standard's recommended practice handle it.
struct DecodedCharacter {
    char32_t codePoint;
    size_t length;
    bool valid;
};

DecodedCharacter decodeUtf8(const unsigned char* text, size_t available)
{
    const unsigned char lead = text[0];
    if (lead < 0x80)
        return {lead, 1, true};

    size_t continuation = 0;
    char32_t codePoint = 0;
    unsigned char lowest = 0x80;
    unsigned char highest = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuation = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuation = 2;
        codePoint = lead & 0x0F;
        if (lead == 0xE0)
            lowest = 0xA0; // overlong below U+0800
        else if (lead == 0xED)
            highest = 0x9F; // surrogates are not characters
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuation = 3;
        codePoint = lead & 0x07;
        if (lead == 0xF0)
            lowest = 0x90; // overlong below U+10000
        else if (lead == 0xF4)
            highest = 0x8F; // above U+10FFFF
    } else {
        return {kReplacementCharacter, 1, false};
    }

    for (size_t i = 1; i <= continuation; ++i) {
        if (i >= available || text[i] < lowest || text[i] > highest)
            return {kReplacementCharacter, i, false};
        codePoint = (codePoint << 6) | (text[i] & 0x3F);
        lowest = 0x80;
        highest = 0xBF;
    }
    return {codePoint, continuation + 1, true};
}

size_t utf8Length(char32_t codePoint)
{
    if (codePoint < 0x80)
        return 1;
    if (codePoint < 0x800)
        return 2;
    if (codePoint < 0x10000)
        return 3;
    return 4;
}

void encodeUtf8(char32_t codePoint, char* out)
{
    switch (utf8Length(codePoint)) {
    case 1:
        out[0] = static_cast<char>(codePoint);
        break;
    case 2:
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    case 3:
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    default:
        out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    }
}

size_t terminatedLength(LPCWSTR text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

// Do the two buffers share any byte? kernel32 refuses to convert in place.
bool overlaps(const void* a, size_t aBytes, const void* b, size_t bBytes)
{
    const auto first = reinterpret_cast<uintptr_t>(a);
    const auto second = reinterpret_cast<uintptr_t>(b);
    return first < second + bBytes && second < first + aBytes;
}

// A library name in UTF-8; false for one that is not valid UTF-16.
bool narrowName(LPCWSTR name, std::string& narrow)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    narrow.assign(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, name, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(size_t(bytes) - 1);
    return true;
}

HMODULE openLibrary(const std::string& path, int extraFlags = 0)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | extraFlags);
    if (handle == nullptr) {
        dlerror();
        t_lastError = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    return static_cast<HMODULE>(handle);
}

// The folder of a file's path, with its trailing slash; empty without one.
std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string programPath()
{
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length <= 0 ? std::string() : std::string(buffer.data(), size_t(length));
}

// The folder of the C library: where this system keeps its own libraries.
std::string systemFolder()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&abort), &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    return folderOf(info.dli_fname);
}

} // namespace

extern "C" {

DWORD WINAPI GetLastError()
{
    return t_lastError;
}

void WINAPI SetLastError(DWORD error)
{
    t_lastError = error;
}

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength, LPWSTR wide,
                               int wideLength)
{
    if (multiByte == nullptr || multiByteLength == 0 || multiByteLength < -1 || wideLength < 0 ||
        (wideLength > 0 && wide == nullptr))
        return fail(ERROR_INVALID_PARAMETER);
    if (!isUtf8CodePage(codePage))
        return fail(ERROR_INVALID_PARAMETER);
    if ((flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0)
        return fail(ERROR_INVALID_FLAGS);

    // With -1 the terminator is part of the input and so of the result.
    const size_t inputLength = multiByteLength == -1 ? std::strlen(multiByte) + 1 : size_t(multiByteLength);
    if (inputLength > size_t(INT_MAX))
        return fail(ERROR_INVALID_PARAMETER);
    if (wideLength > 0 && overlaps(multiByte, inputLength, wide, size_t(wideLength) * sizeof(WCHAR)))
        return fail(ERROR_INVALID_PARAMETER);

    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    const auto* input = reinterpret_cast<const unsigned char*>(multiByte);
    size_t produced = 0;
    for (size_t at = 0; at < inputLength;) {
        const DecodedCharacter decoded = decodeUtf8(input + at, inputLength - at);
        if (!decoded.valid && strict)
            return fail(ERROR_NO_UNICODE_TRANSLATION);
        at += decoded.length;

        const size_t units = decoded.codePoint >= 0x10000 ? 2 : 1;
        if (wideLength > 0) {
            if (produced + units > size_t(wideLength))
                return fail(ERROR_INSUFFICIENT_BUFFER);
            if (units == 1) {
                wide[produced] = static_cast<WCHAR>(decoded.codePoint);
            } else {
                const char32_t offset = decoded.codePoint - 0x10000;
                wide[produced] = static_cast<WCHAR>(0xD800 + (offset >> 10));
                wide[produced + 1] = static_cast<WCHAR>(0xDC00 + (offset & 0x3FF));
            }
        }
        produced += units;
    }
    return static_cast<int>(produced);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                               int multiByteLength, LPCSTR defaultChar, BOOL* usedDefaultChar)
{
    if (wide == nullptr || wideLength == 0 || wideLength < -1 || multiByteLength < 0 ||
        (multiByteLength > 0 && multiByte == nullptr))
        return fail(ERROR_INVALID_PARAMETER);
    if (!isUtf8CodePage(codePage))
        return fail(ERROR_INVALID_PARAMETER);
    if ((flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0)
        return fail(ERROR_INVALID_FLAGS);
    // UTF-8 has no default character: Windows refuses both arguments for it.
    if (defaultChar != nullptr || usedDefaultChar != nullptr)
        return fail(ERROR_INVALID_PARAMETER);

    const size_t inputLength = wideLength == -1 ? terminatedLength(wide) + 1 : size_t(wideLength);
    if (inputLength > size_t(INT_MAX))
        return fail(ERROR_INVALID_PARAMETER);
    if (multiByteLength > 0 && overlaps(wide, inputLength * sizeof(WCHAR), multiByte, size_t(multiByteLength)))
        return fail(ERROR_INVALID_PARAMETER);

    const bool strict = (flags & WC_ERR_INVALID_CHARS) != 0;
    size_t produced = 0;
    for (size_t at = 0; at < inputLength;) {
        char32_t codePoint = wide[at++];
        if (isHighSurrogate(codePoint) && at < inputLength && isLowSurrogate(wide[at])) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (char32_t(wide[at]) - 0xDC00);
            ++at;
        } else if (isHighSurrogate(codePoint) || isLowSurrogate(codePoint)) {
            if (strict)
                return fail(ERROR_NO_UNICODE_TRANSLATION);
            codePoint = kReplacementCharacter;
        }

        const size_t bytes = utf8Length(codePoint);
        if (multiByteLength > 0) {
            if (produced + bytes > size_t(multiByteLength))
                return fail(ERROR_INSUFFICIENT_BUFFER);
            encodeUtf8(codePoint, multiByte + produced);
        }
        produced += bytes;
        if (produced > size_t(INT_MAX))
            return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    return static_cast<int>(produced);
}

HMODULE WINAPI LoadLibraryW(LPCWSTR fileName)
{
    if (fileName == nullptr || fileName[0] == 0) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    // A name that is not valid UTF-16 names no file.
    std::string path;
    if (!narrowName(fileName, path)) {
        t_lastError = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    // The exact name: no suffix or prefix is added. A name without a slash
    // goes through the loader's search (LD_LIBRARY_PATH, run paths, system).
    return openLibrary(path);
}

HMODULE WINAPI LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags)
{
    const DWORD searchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                              LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                              LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (file != nullptr || (flags & ~searchFlags) != 0) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (flags == 0)
        return LoadLibraryW(fileName);
    if (fileName == nullptr || fileName[0] == 0) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    std::string name;
    if (!narrowName(fileName, name)) {
        t_lastError = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    // A path is loaded as it is; the flags only say where its own
    // dependencies would be looked for on Windows.
    if (name.find('/') != std::string::npos)
        return openLibrary(name);
    if ((flags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) != 0) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    // A library loaded already under this name, then the named folders.
    if (void* loaded = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD))
        return static_cast<HMODULE>(loaded);
    dlerror();
    const bool defaults = (flags & LOAD_LIBRARY_SEARCH_DEFAULT_DIRS) != 0;
    std::vector<std::string> folders;
    if (defaults || (flags & LOAD_LIBRARY_SEARCH_APPLICATION_DIR) != 0)
        folders.push_back(folderOf(programPath()));
    if (defaults || (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0)
        folders.push_back(systemFolder());
    for (const std::string& folder : folders) {
        if (folder.empty() || access((folder + name).c_str(), F_OK) != 0)
            continue;
        if (HMODULE library = openLibrary(folder + name))
            return library;
    }
    t_lastError = ERROR_MOD_NOT_FOUND;
    return nullptr;
}

BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module)
{
    if (module == nullptr) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    *module = nullptr;
    const DWORD known = GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT |
                        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    const bool pin = (flags & GET_MODULE_HANDLE_EX_FLAG_PIN) != 0;
    const bool unchanged = (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) != 0;
    // Only look-ups by address are offered: names would need Windows' file
    // name rules.
    if ((flags & ~known) != 0 || (pin && unchanged) || (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    Dl_info info;
    link_map* map = nullptr;
    if (moduleName == nullptr || dladdr1(moduleName, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        t_lastError = ERROR_MOD_NOT_FOUND;
        return FALSE;
    }
    // The loader's handle of a library is its link map. A reference of the
    // caller's own is one more dlopen of the library already there.
    if (!unchanged) {
        void* again =
            dlopen(map->l_name[0] != '\0' ? map->l_name : nullptr, RTLD_NOW | RTLD_NOLOAD | (pin ? RTLD_NODELETE : 0));
        if (again == nullptr) {
            dlerror();
            t_lastError = ERROR_MOD_NOT_FOUND;
            return FALSE;
        }
    }
    *module = reinterpret_cast<HMODULE>(map);
    return TRUE;
}

DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size)
{
    std::string path;
    if (module == nullptr) {
        path = programPath();
    } else {
        link_map* map = nullptr;
        if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
            dlerror();
            t_lastError = ERROR_MOD_NOT_FOUND;
            return 0;
        }
        // The program's own map has no name.
        path = map->l_name[0] != '\0' ? std::string(map->l_name) : programPath();
    }
    if (path.empty() || fileName == nullptr) {
        t_lastError = fileName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_MOD_NOT_FOUND;
        return 0;
    }
    const int units = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    if (units <= 0)
        return 0;
    std::vector<WCHAR> wide(size_t(units), WCHAR(0));
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), units);
    // Too small a buffer gets what fits, terminated, and the size itself.
    if (size == 0) {
        t_lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    const DWORD length = DWORD(units) - 1;
    if (length < size) {
        std::memcpy(fileName, wide.data(), size_t(units) * sizeof(WCHAR));
        return length;
    }
    std::memcpy(fileName, wide.data(), size_t(size - 1) * sizeof(WCHAR));
    fileName[size - 1] = 0;
    t_lastError = ERROR_INSUFFICIENT_BUFFER;
    return size;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName)
{
    // Names at or below 0xFFFF are ordinals on Windows; ELF has none. A null
    // module would make dlsym search the whole process.
    if (module == nullptr || reinterpret_cast<uintptr_t>(procName) <= 0xFFFF) {
        t_lastError = ERROR_PROC_NOT_FOUND;
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(module, procName);
    if (symbol == nullptr) {
        dlerror();
        t_lastError = ERROR_PROC_NOT_FOUND;
        return nullptr;
    }
    // dlsym also searches the library's dependencies; GetProcAddress only
    // sees the library's own exports.
    link_map* own = nullptr;
    link_map* definer = nullptr;
    Dl_info info;
    if (dlinfo(module, RTLD_DI_LINKMAP, &own) != 0 ||
        dladdr1(symbol, &info, reinterpret_cast<void**>(&definer), RTLD_DL_LINKMAP) == 0 || own != definer) {
        dlerror();
        t_lastError = ERROR_PROC_NOT_FOUND;
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI FreeLibrary(HMODULE module)
{
    if (module == nullptr) {
        t_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (dlclose(module) != 0) {
        dlerror();
        t_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}

void WINAPI GetSystemInfo(LPSYSTEM_INFO info)
{
    if (info == nullptr)
        return;
    *info = SYSTEM_INFO{};

    const long pageSize = sysconf(_SC_PAGESIZE);
    info->dwPageSize = pageSize > 0 ? DWORD(pageSize) : 4096;
    info->dwAllocationGranularity = info->dwPageSize > 65536 ? info->dwPageSize : 65536;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t(0x10000));
#if UINTPTR_MAX > 0xFFFFFFFFu
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t(0x7FFFFFFEFFFFull));
#else
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t(0x7FFEFFFFu));
#endif

    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    if (processors < 1)
        processors = 1;
    const long maskBits = long(sizeof(DWORD_PTR) * CHAR_BIT);
    if (processors > maskBits)
        processors = maskBits;
    info->dwNumberOfProcessors = DWORD(processors);
    info->dwActiveProcessorMask = processors == maskBits ? ~DWORD_PTR(0) : (DWORD_PTR(1) << processors) - 1;

#if defined(__x86_64__)
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info->dwProcessorType = PROCESSOR_AMD_X8664;
#elif defined(__i386__)
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    info->dwProcessorType = PROCESSOR_INTEL_PENTIUM;
#elif defined(__aarch64__)
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM64;
#else
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif

#if defined(__i386__) || defined(__x86_64__)
    // Level is the family, revision the model and stepping, as Windows reports
    // them for x86 processors.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        unsigned family = (eax >> 8) & 0xF;
        unsigned model = (eax >> 4) & 0xF;
        const unsigned stepping = eax & 0xF;
        if (family == 0xF)
            family += (eax >> 20) & 0xFF;
        if (family == 0x6 || family >= 0xF)
            model += ((eax >> 16) & 0xF) << 4;
        info->wProcessorLevel = WORD(family);
        info->wProcessorRevision = WORD((model << 8) | stepping);
    }
#endif
}

BOOL WINAPI IntersectRect(LPRECT dst, const RECT* src1, const RECT* src2)
{
    if (dst == nullptr)
        return FALSE;
    if (src1 == nullptr || src2 == nullptr) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    // Computed into a local first: dst may be one of the sources.
    const RECT result{src1->left > src2->left ? src1->left : src2->left, src1->top > src2->top ? src1->top : src2->top,
                      src1->right < src2->right ? src1->right : src2->right,
                      src1->bottom < src2->bottom ? src1->bottom : src2->bottom};
    if (result.left >= result.right || result.top >= result.bottom) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *dst = result;
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* rect)
{
    if (rect == nullptr)
        return TRUE;
    return rect->right <= rect->left || rect->bottom <= rect->top ? TRUE : FALSE;
}

COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF colour)
{
    if (dc == nullptr)
        return CLR_INVALID;
    return dc->setPixel(x, y, colour);
}

} // extern "C"
