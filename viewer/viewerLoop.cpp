#include "viewer/viewerLoop.h"

#include "console/keyReader.h"

#include <utility>
#include <vector>

namespace {

// The view a pointer stands for, so that every view is visited alike.
template <typename View>
View& itself(View& view) {
    return view;
}
ComparisonView& itself(ComparisonView* view) {
    return *view;
}
DirectoryView& itself(DirectoryView* view) {
    return *view;
}
ComparisonView& itself(std::unique_ptr<PairView>& pair) {
    return pair->view;
}

bool draw(ComparisonView& view) {
    return drawView(view);
}

template <typename View>
bool draw(View& view) {
    drawView(view);
    return true;
}

void resume(ComparisonView& view) {
    resumeView(view);
}

void resume(DirectoryView& view) {
    resumeView(view);
}

// The help and the colour setup draw their whole picture at every pass: nothing to resume.
template <typename View>
void resume(View&) {}

// Only the directory list has work going on behind it that it shows while no key comes: how
// long to wait for a key before it is drawn again, 0 for no limit.
template <typename View>
int drawAgainMs(View&) {
    return 0;
}
int drawAgainMs(DirectoryView& view) {
    return busyWaitMs(view);
}
int drawAgainMs(ComparisonView& view) {
    return drawAgainMs(static_cast<const ComparisonView&>(view));
}

template <typename View>
Reaction whileIdle(View&) {
    return {};
}
Reaction whileIdle(DirectoryView& view) {
    return idle(view);
}
Reaction whileIdle(ComparisonView& view) {
    return idle(view);
}

// The comparison views take on the redrawing and rebuilding a reaction asks for; the others
// draw their whole picture at every pass.
void takeOn(View& view, const Reaction& reaction) {
    if (auto* comparison = std::get_if<ComparisonView*>(&view)) (*comparison)->take(reaction);
    if (auto* pair = std::get_if<std::unique_ptr<PairView>>(&view)) (*pair)->view.take(reaction);
}

} // namespace

PairView::PairView(PairOpening pair, const Settings& settings)
    : opening(std::move(pair)),
      view(opening.files, settings, tables, opening.reload, getScreenSize(false), false) {}

PairView::~PairView() {
    view.abandonBuild();
}

ViewOutcome runViews(View& bottom) {
    std::vector<View> above; // the views opened over bottom, the last on top
    for (;;) {
        View& top = above.empty() ? bottom : above.back();
        Reaction reaction = std::visit([](auto& view) { return whileIdle(itself(view)); }, top);
        if (reaction.leave == ViewOutcome::none) {
            takeOn(top, reaction); // what the work behind the view brought is drawn now
            const bool drawn = std::visit([](auto& view) { return draw(itself(view)); }, top);
            if (!drawn) return ViewOutcome::outOfMemory;
            Key key;
            const int waitMs =
                std::visit([](auto& view) { return drawAgainMs(itself(view)); }, top);
            if (waitMs > 0 ? !readKeyWithin(waitMs, key) : (key = readKey(), false)) continue;
            reaction = std::visit([&key](auto& view) { return actOnKey(itself(view), key); }, top);
        }
        takeOn(top, reaction);
        switch (reaction.leave) {
        case ViewOutcome::none:
            break;
        case ViewOutcome::done:
            if (above.empty()) return ViewOutcome::done;
            if (auto* pair = std::get_if<std::unique_ptr<PairView>>(&above.back())) {
                // The list's next pair starts from the toggles this one was left with.
                if (auto* list = std::get_if<DirectoryView*>(
                        above.size() > 1 ? &above[above.size() - 2] : &bottom))
                    (*list)->settings = (*pair)->view.settings;
            }
            above.pop_back();
            std::visit([](auto& view) { resume(itself(view)); },
                       above.empty() ? bottom : above.back());
            continue;
        case ViewOutcome::interrupted:
        case ViewOutcome::outOfMemory:
            return reaction.leave;
        }
        if (auto* pager = std::get_if<HelpPager>(&reaction.open))
            above.emplace_back(*pager);
        else if (auto* setup = std::get_if<ColourSetupScreen>(&reaction.open))
            above.emplace_back(*setup);
        else if (auto* list = std::get_if<DirectoryView*>(&top);
                 list && reaction.openChosen && (*list)->chosen) {
            PairOpening pair = std::move(*(*list)->chosen);
            (*list)->chosen.reset();
            const Settings settings = (*list)->settings;
            above.emplace_back(std::make_unique<PairView>(std::move(pair), settings));
        }
    }
}

ViewOutcome runViewer(const FilePair& files, const Settings& settings, ScreenSize requestedSize,
                      bool resizePending, ViewerTables& tables, const ReloadFiles& reload,
                      const ArrivingFiles* arriving) {
    ComparisonView view(files, settings, tables, reload, requestedSize, resizePending);
    view.arriving = arriving;
    View bottom = &view;
    const ViewOutcome outcome = runViews(bottom);
    // A build still running behind the first screen goes with the view.
    view.abandonBuild();
    return outcome;
}
