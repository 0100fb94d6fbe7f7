#pragma once
// What a view's action asks of the loop that drives the views: what to draw and build again,
// whether to leave and how, which view to open on top. One record, returned by the action: the
// only way an action's effects reach the loop.

#include "console/colourSetup.h"
#include "console/helpPager.h"

#include <cstdint>
#include <variant>

enum class ViewOutcome : uint8_t {
    none,        // the view stays
    done,        // the view is left: the one below it comes back, or the run ends with it
    interrupted, // Ctrl-C: every view ends at once
    outOfMemory, // the view could not build what it shows: every view ends at once
};

struct Reaction {
    int redraw = 0;      // what the view draws again: its own bits (viewer/renderer.h)
    int rebuild = 0;     // what the view builds again: its own bits (viewer/viewKeys.h)
    bool resize = false; // the view's wanted console size is applied first
    bool layout = false; // the view lays out its whole screen anew
    ViewOutcome leave = ViewOutcome::none;
    std::variant<std::monostate, HelpPager, ColourSetupScreen> open{}; // a view to put on top
    bool openChosen = false; // what the view has chosen (a pair of files) opens on top of it

    // Both reactions' work; the other's leave and open win where it has one.
    Reaction& operator|=(const Reaction& other) {
        redraw |= other.redraw;
        rebuild |= other.rebuild;
        resize = resize || other.resize;
        layout = layout || other.layout;
        if (other.leave != ViewOutcome::none) leave = other.leave;
        if (other.open.index() != 0) open = other.open;
        openChosen = openChosen || other.openChosen;
        return *this;
    }
};
