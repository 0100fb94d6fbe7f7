#pragma once
// The help pager: shows a list of fixed 80-column pages (see helpPages.h) one at a time, as a
// view of the loop that drives the views (viewer/viewerLoop.h).

struct Key;
struct Reaction;

// The pager over pages (ended by a null entry, at least one page) on a screen of screenRows
// rows: the rule and the key line go on the last two of them, or of the console's rows when it
// has fewer.
struct HelpPager {
    const char* const* pages = nullptr;
    int screenRows = 25;
    int pageNumber = 0; // the page on show
};

// Draws the page on show over the whole screen; the screen is left as it drew it, so the view
// below redraws its own picture when it comes back.
void drawView(HelpPager& pager);

// PageDown, Right, Down, F1, ENTER and SPACE turn to the next page, PageUp, Left and Up to the
// previous one, Home to page 0; ESC leaves. The mouse wheel turns the pages as Down and Up do.
// Every key but ESC draws the page again.
[[nodiscard]] Reaction actOnKey(HelpPager& pager, const Key& key);
