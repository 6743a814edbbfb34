// The Win32 subset that the ziv module calls, for builds that are not on Windows.
// Names, types, constants and semantics follow the Windows SDK; only what the
// module (and its hosts' tests) need is here. On Windows the SDK's own
// <windows.h> is used instead and this folder is not on the include path.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;
typedef int32_t HRESULT;
typedef uint32_t UINT;
typedef int32_t INT;
typedef DWORD COLORREF;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* HANDLE;
typedef LONG* LPLONG;
typedef DWORD* LPDWORD;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef int32_t WINBOOL;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;

// WCHAR is a UTF-16 code unit, as on Windows (wchar_t is 4 bytes here).
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

// A wide string literal in the width of WCHAR. The module spells wide literals
// with this macro; on Windows it expands to L"..." (see the module's own
// fallback definition).
#define ZIV_WIDE(s) u##s

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define CLR_INVALID ((COLORREF)0xFFFFFFFF)
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;

// A region as a list of rectangles (GDI's region data, as DirectDraw clippers
// take and give clip lists): the header, then nCount RECTs in Buffer.
#define RDH_RECTANGLES 1
typedef struct _RGNDATAHEADER {
    DWORD dwSize;
    DWORD iType;
    DWORD nCount;
    DWORD nRgnSize;
    RECT rcBound;
} RGNDATAHEADER, *PRGNDATAHEADER;
typedef struct _RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
} RGNDATA, *PRGNDATA, *LPRGNDATA;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID, IID;
typedef const IID& REFIID;

typedef struct tagPALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
} PALETTEENTRY, *LPPALETTEENTRY;

// Window and module handles are opaque.
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HMODULE;
typedef HMODULE HINSTANCE;
typedef intptr_t (*FARPROC)();

// A device context. Here one is only ever obtained from a DirectDraw surface
// (IDirectDrawSurface::GetDC); the surface implements it.
struct HDC__ {
    virtual COLORREF setPixel(int x, int y, COLORREF colour) = 0;

protected:
    ~HDC__() = default;
};
typedef HDC__* HDC;

// GetSystemInfo
#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_ARCHITECTURE_ARM64 12
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFF
#define PROCESSOR_INTEL_386 386
#define PROCESSOR_INTEL_486 486
#define PROCESSOR_INTEL_PENTIUM 586
#define PROCESSOR_AMD_X8664 8664

typedef struct _SYSTEM_INFO {
    union {
        DWORD dwOemId;
        struct {
            WORD wProcessorArchitecture;
            WORD wReserved;
        };
    };
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

// Code pages. CP_ACP, the process's narrow code page, is UTF-8 here, so the
// UTF-8 rules apply to both: flags 0 or the *_ERR_INVALID_CHARS flag, no
// default character. Lengths of -1 take the input up to and including its
// terminator (which the result then counts); explicit lengths convert exactly
// that many units and add none. An output length of 0 asks for the size. A
// buffer that is too small gives 0 and ERROR_INSUFFICIENT_BUFFER. Ill-formed
// input becomes U+FFFD, or fails with ERROR_NO_UNICODE_TRANSLATION under the
// flag.
#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080

#define ERROR_INVALID_HANDLE 6L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L

#define WINAPI

#define MAX_PATH 260

// LoadLibraryW loads an ELF shared object with dlopen (RTLD_NOW | RTLD_LOCAL)
// under exactly the given name, converted to UTF-8: no suffix is added, and a
// name without a slash goes through the loader's search. GetProcAddress finds
// only the library's own exports, like its Windows counterpart.
//
// LoadLibraryExW with search flags looks a bare name (one without a slash)
// up in the folders the flags name and nowhere else, never in the current
// directory: first among the libraries already loaded (by soname, as Windows
// finds a loaded DLL by its name), then in the program's folder
// (LOAD_LIBRARY_SEARCH_APPLICATION_DIR) and in the folder of the C library,
// this system's counterpart of System32 (LOAD_LIBRARY_SEARCH_SYSTEM32).
// A path with a slash is loaded as it is; LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
// is for such paths only (a bare name with it fails with
// ERROR_INVALID_PARAMETER). Flags 0 behave as LoadLibraryW; other flags are
// not offered (ERROR_INVALID_PARAMETER).
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#define LOAD_LIBRARY_SEARCH_APPLICATION_DIR 0x00000200
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000

// GetModuleHandleExW finds the loaded library that holds an address
// (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, which must be given) and, with
// GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, hands it back without a
// reference of its own; without that flag the caller owns a reference to
// give back with FreeLibrary. GetModuleFileNameW answers the file a library
// was loaded from (a null module: the program), truncated to the buffer with
// ERROR_INSUFFICIENT_BUFFER as on Windows.
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

extern "C" {
void WINAPI GetSystemInfo(LPSYSTEM_INFO info);
BOOL WINAPI IntersectRect(LPRECT dst, const RECT* src1, const RECT* src2);
BOOL WINAPI IsRectEmpty(const RECT* rect);
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength, LPWSTR wide,
                               int wideLength);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                               int multiByteLength, LPCSTR defaultChar, BOOL* usedDefaultChar);
HMODULE WINAPI LoadLibraryW(LPCWSTR fileName);
HMODULE WINAPI LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags);
BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module);
DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
BOOL WINAPI FreeLibrary(HMODULE module);
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);
COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF colour);
}
