// GoogleTest's platform hooks for the mingw-w64 build. The win32 threading
// variant of GCC 12 has no std::mutex or std::condition_variable, with which
// GoogleTest makes its Notification; this one waits on a Windows event.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : d_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(d_event); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(d_event); }
    void WaitForNotification() { WaitForSingleObject(d_event, INFINITE); }

private:
    HANDLE d_event;
};

} // namespace internal
} // namespace testing

#define GTEST_HAS_NOTIFICATION_ 1
