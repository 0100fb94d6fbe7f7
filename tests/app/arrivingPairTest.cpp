// Large files read behind the view: the identity test as their bytes come, the beginnings the
// first screen is drawn from, and the whole files with what happened to them meanwhile.

#include "app/arrivingPair.h"

#include "platform/build.h"
#include "platform/files.h"
#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

namespace {

// Lines enough for several steps of the reading, then tail.
std::string numberedLines(size_t bytes, const std::string& tail = "") {
    std::string text;
    for (int line = 0; text.size() < bytes; ++line) text += "line " + std::to_string(line) + "\n";
    return text + tail;
}

// Two files being read: opened, then file 2 cut to cutFile2 bytes (when not negative) before the
// reading starts, as a file that shrinks while it is read.
struct Session {
    FileImage image1;
    FileImage image2;
    ArrivingPair pair{
        image1, image2, [](const FileImage& one, const FileImage& two) {
            return FilePair{
                {nullptr, one.raw.get(), one.rawSize, one.text, one.textSize, one.encoding},
                {nullptr, two.raw.get(), two.rawSize, two.text, two.textSize, two.encoding}};
        }};

    Session(const TempDirectory& dir, const std::string& one, const std::string& two,
            long long cutFile2 = -1) {
        int reason = 0;
        const std::string path2 = dir.write("2", two);
        EXPECT_EQ(pair.open(dir.write("1", one).c_str(), path2.c_str(), reason),
                  LoadResult::loaded);
        if (cutFile2 >= 0) {
            EXPECT_EQ(truncate(path2.c_str(), cutFile2), 0);
        }
        pair.start();
    }
};

TEST(ArrivingPair, IdentityStopsAtTheFirstDifferenceAndFailsWhatEndsBeforeIt) {
    TempDirectory dir;
    const std::string text = numberedLines(9u << 20);
    std::string lastByte = text;
    lastByte.back() = '!';
    struct Case {
        const char* name;
        std::string two;
        long long cutFile2;
        ArrivingIdentity verdict;
        int reason;
    };
    const Case cases[] = {
        {"identical", text, -1, ArrivingIdentity::identical, 0},
        {"the last byte differs", lastByte, -1, ArrivingIdentity::different, 0},
        {"lengths differ", text + "x", -1, ArrivingIdentity::different, 0},
        // Of one length when opened: file 2 ends before a difference is seen.
        {"file 2 shrank", text, 5 << 20, ArrivingIdentity::file2Failed, kEndedEarly},
        // Of different lengths they differ at once, whatever the reading finds later.
        {"file 2 shrank, lengths differ", text + "x", 100, ArrivingIdentity::different, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session session(dir, text, c.two, c.cutFile2);
        int reason = 0;
        EXPECT_EQ(session.pair.identity(reason), c.verdict);
        EXPECT_EQ(reason, c.reason);
    }
}

TEST(ArrivingPair, WholeFilesSayWhatHappenedToThemWhileTheyWereRead) {
    TempDirectory dir;
    const std::string text = numberedLines(9u << 20);
    Session session(dir, text, text + "more", 4000);
    int reason = 0;
    ASSERT_EQ(session.pair.identity(reason), ArrivingIdentity::different);
    const FilePair first = session.pair.forView().beginnings(kFirstBytes);
    EXPECT_TRUE(first.left.partial);
    EXPECT_EQ(first.left.wholeSize, text.size());
    EXPECT_EQ(first.right.rawSize, 4000u); // all there is of file 2
    const WholeFiles whole = session.pair.forView().whole(nullptr);
    ASSERT_EQ(whole.outcome, WholeFiles::whole);
    EXPECT_EQ(session.image1.rawSize, text.size());
    EXPECT_EQ(session.image2.rawSize, 4000u);
    EXPECT_EQ(whole.message, u"File 2 got shorter while it was read: shown as far as it was read");
    EXPECT_FALSE(whole.decodedOtherwise);
    EXPECT_EQ(session.pair.forView().readPercent(), 100);
}

TEST(ArrivingPair, BeginningsAreDecodedAsTheWholeIsUnlessItSaysOtherwise) {
    if constexpr (!kWideBuild) GTEST_SKIP() << "the 8-bit build decodes nothing";
    TempDirectory dir;
    // UTF-8 throughout: a beginning cut inside a character is still UTF-8 text.
    const std::string accented = numberedLines(2 * kFirstBytes, "") + "\xC3\xA9t\xE2\x82\xAC\n";
    std::string utf8;
    while (utf8.size() < 2 * kFirstBytes) utf8 += "\xE2\x82\xAC\xC3\xA9 caf\xC3\xA9\n";
    // The beginnings end in each byte of a three-byte character and of a two-byte one.
    for (uint64_t bytes = kFirstBytes - 3; bytes < kFirstBytes + 2; ++bytes) {
        SCOPED_TRACE(bytes);
        Session session(dir, utf8, utf8 + "x");
        const FilePair first = session.pair.forView().beginnings(bytes);
        EXPECT_EQ(first.left.encoding, kTextUtf8);
        EXPECT_EQ(first.right.encoding, kTextUtf8);
        const WholeFiles whole = session.pair.forView().whole(nullptr);
        EXPECT_FALSE(whole.decodedOtherwise);
        EXPECT_EQ(whole.message, u"");
    }
    // ASCII for megabytes, then a character beyond it: the whole is UTF-8, its beginning was not.
    Session session(dir, accented, accented + "x");
    EXPECT_EQ(session.pair.forView().beginnings(kFirstBytes).left.encoding, 0u);
    const WholeFiles whole = session.pair.forView().whole(nullptr);
    EXPECT_TRUE(whole.decodedOtherwise);
    EXPECT_EQ(whole.files.left.encoding, kTextUtf8);
    EXPECT_NE(whole.message.find(u"decode otherwise"), std::u16string::npos);
}

} // namespace
