// The directory list driven by scripted keys on the in-memory terminal, over trees made in a
// scratch directory; the trees are compared before the first key, so every state is known.

#include "support/tempDirectory.h"
#include "viewer/viewerTestSupport.h"

#include <memory>
#include <optional>
#include <vector>

namespace {

class DirectoryViewTest : public ViewerScreenTest {
  protected:
    void SetUp() override {
        ViewerScreenTest::SetUp();
        left = root.makeDirectory("left");
        right = root.makeDirectory("right");
    }

    // The view over the two trees with the keys queued so far and then q.
    ViewOutcome runList(const std::vector<int>& keys, bool closeWithQ = true) {
        list = std::make_unique<TreeList>(left, right);
        list->start(false);
        listView = std::make_unique<DirectoryView>(*list, QVD_T("left"), QVD_T("right"), opener(),
                                                   settings);
        listView->behind = false;
        for (int key : keys) queueKeyCode(key);
        if (closeWithQ) queueKeyCode('q');
        View bottom = listView.get();
        const ViewOutcome outcome = runViews(bottom);
        screen = dumpScreen();
        return outcome;
    }

    // Opens a pair as texts of their own, and notes what was asked for.
    OpenPair opener() {
        return [this](const PairPaths& paths) -> PairOpened {
            opened.push_back(paths);
            auto texts = std::make_shared<std::vector<std::string>>(
                std::vector<std::string>{"pair left\n", "pair right\n"});
            PairOpening pair;
            pair.files.left = {QVD_T("pair-left"), bytes((*texts)[0]), size32((*texts)[0]),
                               bytes((*texts)[0]), size32((*texts)[0])};
            pair.files.right = {QVD_T("pair-right"), bytes((*texts)[1]), size32((*texts)[1]),
                                bytes((*texts)[1]), size32((*texts)[1])};
            pair.keeper = texts;
            return {std::move(pair), {}};
        };
    }

    // The screen row (1 is the first of the list) that shows path, or -1.
    int rowOf(const std::string& path) const {
        for (int row = 1; row < screen.height - 2; ++row)
            if (screen.text(row, 2, static_cast<int>(path.size()) + 1) == path + " ") return row;
        return -1;
    }
    bool selected(int row) const { return screen.attribute(row, 2) >> 4 != kTestScheme.frame >> 4; }

    TempDirectory root;
    std::string left;
    std::string right;
    std::unique_ptr<TreeList> list;
    std::unique_ptr<DirectoryView> listView;
    std::vector<PairPaths> opened;
};

TEST_F(DirectoryViewTest, EveryPathShowsItsStateSizesAndColour) {
    root.write("left/same.txt", "same\n");
    root.write("right/same.txt", "same\n");
    root.write("left/changed.txt", "abc\n");
    root.write("right/changed.txt", "abd\n");
    root.write("left/grown.txt", "short\n");
    root.write("right/grown.txt", "longer line\n");
    root.write("left/gone.txt", "x\n");
    root.write("right/new/inner.txt", "y\n");
    root.write("left/kind", "a file\n");
    root.makeDirectory("right/kind");
    root.write("left/sub/deep.txt", "1\n");
    root.write("right/sub/deep.txt", "1\n");
    EXPECT_EQ(runList({}), ViewOutcome::done);
    const struct {
        const char* path;
        const char* state;
        const char* sizes;
        uint16_t colour;
    } expected[] = {
        {"changed.txt", "different", "4           4", kTestScheme.differing},
        {"gone.txt", "only left", "2           -", kTestScheme.differing},
        {"grown.txt", "different", "6          12", kTestScheme.differing},
        {"kind/", "kinds differ", "7         dir", kTestScheme.differing},
        {"new/", "only right", "-         dir", kTestScheme.differing},
        {"new/inner.txt", "only right", "-           2", kTestScheme.differing},
        {"same.txt", "identical", "5           5", kTestScheme.identical},
        {"sub/", "identical", "dir         dir", kTestScheme.identical},
        {"sub/deep.txt", "identical", "2           2", kTestScheme.identical},
    };
    int previous = 0;
    for (const auto& row : expected) {
        SCOPED_TRACE(row.path);
        const int at = rowOf(row.path);
        ASSERT_GT(at, previous) << "missing or out of order:\n" << screen.toString();
        previous = at;
        EXPECT_NE(screen.row(at).find(row.state), std::string::npos) << screen.row(at);
        EXPECT_NE(screen.row(at).find(row.sizes), std::string::npos) << screen.row(at);
        if (at != 1) {
            EXPECT_EQ(screen.attribute(at, 40), row.colour) << screen.row(at);
        }
    }
    EXPECT_NE(screen.row(23).find("9 paths, 6 differ"), std::string::npos) << screen.row(23);
}

TEST_F(DirectoryViewTest, KeysMoveTheBarHideIdenticalRowsAndFindNames) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
        root.write(std::string("left/") + name, name);
        root.write(std::string("right/") + name, name);
    }
    root.write("left/c.txt", "changed");
    const struct {
        std::vector<int> keys;
        const char* selectedPath;
        const char* hiddenPath;            // a row no longer on show, or null
        const char* message;               // on the last row, or null
        std::string typed = std::string(); // terminal bytes before the keys
    } cases[] = {
        {{}, "a.txt", nullptr, nullptr},
        {{kKeyDown}, "b.txt", nullptr, nullptr},
        {{' '}, "c.txt", nullptr, nullptr},
        {{kKeyEnd, '-'}, "c.txt", nullptr, nullptr},
        {{' ', ' '}, "c.txt", nullptr, "No difference below"},
        {{'i'}, "c.txt", "a.txt", "Identical rows hidden"},
        {{'i', 'i'}, "c.txt", nullptr, "Identical rows shown"},
        {{'i', 'i', kKeyEnd}, "d.txt", nullptr, nullptr},
        {{'/', 'D', kKeyEnter}, "d.txt", nullptr, nullptr},
        {{'/', 'z', 'z', kKeyEnter}, "a.txt", nullptr, "Not found: zz"},
        {{kKeyDown, kKeyDown, 'r'}, "a.txt", nullptr, nullptr, {}}, // read again: from the top
        {{kKeyDown, '?', kKeyEscape}, "b.txt", nullptr, nullptr, {}},
        {{}, "d.txt", nullptr, nullptr, mouseReport(65, 3, 5)}, // a notch: three rows
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::PrintToString(test.keys) + testing::PrintToString(test.typed));
        reset();
        queueTerminalBytes(test.typed);
        runList(test.keys);
        const int at = rowOf(test.selectedPath);
        ASSERT_GT(at, 0) << screen.toString();
        EXPECT_TRUE(selected(at)) << screen.toString();
        if (test.hiddenPath) {
            EXPECT_EQ(rowOf(test.hiddenPath), -1) << screen.toString();
        }
        if (test.message) {
            EXPECT_NE(screen.row(24).find(test.message), std::string::npos) << screen.row(24);
        }
    }
}

TEST_F(DirectoryViewTest, EnterOpensThePairAboveTheListAndQuitComesBackToTheRow) {
    root.write("left/one.txt", "1");
    root.write("right/one.txt", "2");
    root.write("left/only.txt", "3");
    root.makeDirectory("left/sub");
    root.makeDirectory("right/sub");
    root.write("left/sub/x", "4");
    // Into the pair of the second row, back with q; the bar stays on that row.
    runList({kKeyDown, kKeyEnter, 'q'});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].path1, left + "/only.txt");
    EXPECT_FALSE(opened[0].there2);
    EXPECT_TRUE(selected(rowOf("only.txt"))) << screen.toString();

    // A directory's row opens nothing and says why.
    reset();
    opened.clear();
    runList({kKeyEnd, kKeyUp, kKeyEnter});
    EXPECT_TRUE(opened.empty());
    EXPECT_NE(screen.row(24).find("A directory"), std::string::npos) << screen.row(24);
}

TEST_F(DirectoryViewTest, TreesFoundIdenticalLeaveTheListAtOnce) {
    root.write("left/a/b.txt", "same");
    root.write("right/a/b.txt", "same");
    EXPECT_EQ(runList({}, false), ViewOutcome::done);
    EXPECT_TRUE(listView->allIdentical);
    EXPECT_EQ(scriptUnderruns(), 0);
    // Empty trees are identical too.
    reset();
    std::filesystem::remove_all(left + "/a");
    std::filesystem::remove_all(right + "/a");
    EXPECT_EQ(runList({}, false), ViewOutcome::done);
    EXPECT_TRUE(listView->allIdentical);
    // A list that finished after the view last looked is looked at again before the wait for a
    // key goes without limit: the identical trees are not left on show as a list.
    TreeList finished(left, right);
    finished.start(false);
    DirectoryView view(finished, QVD_T("left"), QVD_T("right"), opener(), settings);
    EXPECT_GT(busyWaitMs(view), 0);
    EXPECT_EQ(idle(view).leave, ViewOutcome::done);
    EXPECT_EQ(busyWaitMs(view), 0);
}

// A directory on both sides is identical only when everything below it is; a difference deep down
// makes every directory above it differ.
TEST(TreeList, DirectoriesTakeTheStateOfWhatTheyHold) {
    TempDirectory root;
    for (const char* side : {"l", "r"}) {
        root.write(std::string(side) + "/a/b/c/same.txt", "x");
        root.write(std::string(side) + "/a/b/other/same.txt", "x");
        root.write(std::string(side) + "/z/same.txt", "x");
    }
    root.write("r/a/b/c/new.txt", "y");
    TreeList list(root / "l", root / "r");
    list.start(false);
    ASSERT_TRUE(list.finished());
    std::vector<std::pair<std::string, TreeState>> states;
    for (uint32_t i = 0; i < list.size(); ++i)
        if (list.row(i).entry.left.kind == EntryKind::directory)
            states.emplace_back(list.row(i).entry.path, list.state(i));
    const std::vector<std::pair<std::string, TreeState>> expected = {
        {"a", TreeState::different},     {"a/b", TreeState::different},
        {"a/b/c", TreeState::different}, {"a/b/other", TreeState::identical},
        {"z", TreeState::identical},
    };
    EXPECT_EQ(states, expected);
    EXPECT_EQ(list.differing(), 1u);
}

} // namespace
