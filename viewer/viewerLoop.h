#pragma once
// The loop that drives the views: the one on top draws what it has pending, reads a key, and
// returns a reaction that the loop carries out (work for the view, a view to open on top, or
// leaving it). A comparison view or the directory list is at the bottom; the help pager, the
// colour setup and a pair of files opened from the list open above it.

#include "console/colourSetup.h"
#include "console/helpPager.h"
#include "console/reaction.h"
#include "console/screen.h"
#include "viewer/comparisonView.h"
#include "viewer/directoryView.h"

#include <memory>
#include <variant>

// A pair of files opened from the directory list, with the comparison view that shows it.
struct PairView {
    PairOpening opening; // before view: the view points into its images
    ViewerTables tables;
    ComparisonView view;

    PairView(PairOpening pair, const Settings& settings);
    ~PairView();
    PairView(const PairView&) = delete;
    PairView& operator=(const PairView&) = delete;
};

// A view the loop drives. The views at the bottom are owned by whoever started them.
using View = std::variant<ComparisonView*, DirectoryView*, HelpPager, ColourSetupScreen,
                          std::unique_ptr<PairView>>;

// Drives bottom, and whatever opens above it, until bottom is left; returns how it was left:
// done, interrupted (Ctrl-C, whichever view was on top), or outOfMemory (a view could not build
// what it shows). bottom holds the view's state as it was left.
ViewOutcome runViews(View& bottom);

// Runs the comparison view of files until a quit key (done), Ctrl-C (interrupted) or a failed
// allocation (outOfMemory), starting from settings. requestedSize is the console size to ask
// for, applied first when resizePending is set. Without reload the key R does nothing. Nothing is
// printed: on outOfMemory the caller says so once the terminal is back. With arriving, the files
// are still being read: the view starts from their beginnings (files is not used).
ViewOutcome runViewer(const FilePair& files, const Settings& settings, ScreenSize requestedSize,
                      bool resizePending, ViewerTables& tables, const ReloadFiles& reload = {},
                      const ArrivingFiles* arriving = nullptr);
