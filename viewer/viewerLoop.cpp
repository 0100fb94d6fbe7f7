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

// The help and the colour setup draw their whole picture at every pass: nothing to resume.
template <typename View>
void resume(View&) {}

} // namespace

ViewOutcome runViews(View& bottom) {
    std::vector<View> above; // the views opened over bottom, the last on top
    for (;;) {
        View& top = above.empty() ? bottom : above.back();
        const bool drawn = std::visit([](auto& view) { return draw(itself(view)); }, top);
        if (!drawn) return ViewOutcome::outOfMemory;
        const Key key = readKey();
        const Reaction reaction =
            std::visit([&key](auto& view) { return actOnKey(itself(view), key); }, top);
        if (auto* comparison = std::get_if<ComparisonView*>(&top)) (*comparison)->take(reaction);
        switch (reaction.leave) {
        case ViewOutcome::none:
            break;
        case ViewOutcome::done:
            if (above.empty()) return ViewOutcome::done;
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
    }
}

ViewOutcome runViewer(const FilePair& files, const Settings& settings, ScreenSize requestedSize,
                      bool resizePending, ViewerTables& tables, const ReloadFiles& reload) {
    ComparisonView view(files, settings, tables, reload, requestedSize, resizePending);
    View bottom = &view;
    const ViewOutcome outcome = runViews(bottom);
    // A build still running behind the first screen goes with the view.
    view.abandonBuild();
    return outcome;
}
