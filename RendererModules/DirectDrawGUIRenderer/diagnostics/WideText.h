// Wide string literals in the width of WCHAR. The platform's <windows.h>
// stand-in defines ZIV_WIDE for its 16-bit WCHAR; the Windows SDK does not,
// and there WCHAR is wchar_t, so L"..." is right.
#pragma once

#include <windows.h>

#ifndef ZIV_WIDE
#define ZIV_WIDE(s) L##s
#endif
