// STUB: replaced by the platform work.
#include <ddraw.h>
extern "C" __attribute__((visibility("default"))) HRESULT DirectDrawCreate(GUID*, LPDIRECTDRAW* dd, IUnknown*) { *dd = nullptr; return DDERR_UNSUPPORTED; }
