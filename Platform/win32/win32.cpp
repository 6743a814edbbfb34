// STUB: replaced by the platform work.
#include <windows.h>
extern "C" {
void GetSystemInfo(LPSYSTEM_INFO info) { *info = {}; }
BOOL IntersectRect(LPRECT, const RECT*, const RECT*) { return FALSE; }
BOOL IsRectEmpty(const RECT*) { return TRUE; }
int MultiByteToWideChar(UINT, DWORD, LPCSTR, int, LPWSTR, int) { return 0; }
int WideCharToMultiByte(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, BOOL*) { return 0; }
HMODULE LoadLibraryW(LPCWSTR) { return nullptr; }
FARPROC GetProcAddress(HMODULE, LPCSTR) { return nullptr; }
BOOL FreeLibrary(HMODULE) { return FALSE; }
DWORD GetLastError() { return 0; }
void SetLastError(DWORD) {}
COLORREF SetPixel(HDC, int, int, COLORREF) { return CLR_INVALID; }
}
