// Loaded by the library tests through LoadLibraryW.
#include <cstring>

extern "C" __attribute__((visibility("default"))) int zivProbeAnswer()
{
    return 42;
}

extern "C" __attribute__((visibility("hidden"))) int zivProbeHidden()
{
    return 7;
}

// Makes the C library a dependency whose symbols dlsym would also find.
extern "C" __attribute__((visibility("default"))) size_t zivProbeLength(const char* text)
{
    return std::strlen(text) + static_cast<size_t>(zivProbeHidden() - 7);
}
