#pragma once
// The help pager: shows a list of fixed 80-column pages (see helpPages.h) one at a time.

// Shows pages from page 0 on a screen of screenRows rows until ESC, reading keys with readKey.
// PageDown, Right, Down, F1, ENTER and SPACE turn to the next page, PageUp, Left and Up to the
// previous one, Home to page 0; every key but ESC redraws the page. The rule and the key line
// go on the last two of screenRows rows, or of the console's rows when it has fewer. The screen is
// left as the last page drew it, so the caller redraws its own picture afterwards. pages is ended
// by a null entry and holds at least one page.
void showHelp(const char* const* pages, int screenRows);
