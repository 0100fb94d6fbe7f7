#include "keyWaitScreens.h"

#include "console/keyReader.h"
#include "console/screen.h"

std::vector<ScreenDump> screensAtKeyWaits;
bool wipeAfterEachWait = false;

// The names the linker gives the wrapped function and the original (see the header). They are
// C names for the linker only: no C code calls them, so the class they return is no concern.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif
extern "C" Key __real__Z7readKeyv();

extern "C" Key __wrap__Z7readKeyv() {
    screensAtKeyWaits.push_back(dumpScreen());
    if (wipeAfterEachWait) {
        clearScreen(0);
    }
    return __real__Z7readKeyv();
}

bool sameScreen(const ScreenDump& a, const ScreenDump& b) {
    return a.cells == b.cells && a.attributes == b.attributes;
}
