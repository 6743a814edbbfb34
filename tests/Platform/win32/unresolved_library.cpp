// A library with a reference that nothing defines: loading it with immediate
// binding must fail.
extern "C" int zivNowhereDefined();

extern "C" __attribute__((visibility("default"))) int zivCallsNowhere()
{
    return zivNowhereDefined();
}
