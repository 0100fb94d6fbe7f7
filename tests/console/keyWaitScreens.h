#pragma once
// The help pager and the colour setup screen leave only their last picture behind, yet what they
// show before each key is the behaviour under test. The programs using this header link with
// -Wl,--wrap=_Z7readKeyv (the mangled `Key readKey()`), so every call of readKey from the console
// library first lands here: the screen is recorded as it stood at that wait, and then, when
// wipeAfterEachWait is set, blanked in attribute 0, so that the next recorded screen shows only
// what the code drew after that key.

#include "platform/memoryTerminal.h"

#include <vector>

// Screens as they stood at each wait for a key, in order.
extern std::vector<ScreenDump> screensAtKeyWaits;
extern bool wipeAfterEachWait;

// Rows of a dump and their attributes are equal.
bool sameScreen(const ScreenDump& a, const ScreenDump& b);
