#include "app/arrivingPair.h"

#include "platform/build.h"
#include "platform/files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

// count cut back to the end of the last whole UTF-8 sequence: a beginning cut inside a character
// would not be UTF-8 text, though the file is.
uint64_t wholeCharacters(const uint8_t* bytes, uint64_t count) {
    for (uint64_t back = 1; back <= 4 && back <= count; ++back) {
        const uint8_t byte = bytes[count - back];
        if ((byte & 0xC0) == 0x80) continue; // a continuation byte: its lead is further back
        const uint64_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return back < length ? count - back : count;
    }
    return count;
}

std::u16string ascii(const std::string& text) {
    return {text.begin(), text.end()};
}

} // namespace

ArrivingPair::ArrivingPair(FileImage& image1, FileImage& image2, ViewedFiles viewed)
    : image1_(image1), image2_(image2), viewed_(std::move(viewed)) {
    view_.beginnings = [this](uint64_t bytes) { return beginnings(bytes); };
    view_.whole = [this](const std::atomic<bool>* stop) { return whole(stop); };
    view_.readPercent = [this] { return readPercent(); };
}

LoadResult ArrivingPair::open(const char* path1, const char* path2, int& reason) {
    if (!readers_[0].open(path1)) {
        reason = readers_[0].error();
        return LoadResult::file1Failed;
    }
    if (!readers_[1].open(path2)) {
        reason = readers_[1].error();
        return LoadResult::file2Failed;
    }
    return LoadResult::loaded;
}

void ArrivingPair::start() {
    readers_[0].start();
    readers_[1].start();
}

ArrivingIdentity ArrivingPair::identity(int& reason) {
    if (readers_[0].size() != readers_[1].size()) return ArrivingIdentity::different;
    const uint64_t size = readers_[0].size();
    const uint8_t* blocks[2] = {readers_[0].block(), readers_[1].block()};
    uint64_t checked = 0;
    for (;;) {
        const uint64_t upTo = std::min(readers_[0].arrived(), readers_[1].arrived());
        if (upTo > checked && memcmp(blocks[0] + checked, blocks[1] + checked, upTo - checked) != 0)
            return ArrivingIdentity::different;
        checked = upTo;
        if (checked == size) return ArrivingIdentity::identical;
        for (int side : {0, 1}) {
            const FileReader& reader = readers_[side];
            const FileReader::End end = reader.end();
            if (end == FileReader::End::none || reader.arrived() > checked) continue;
            reason = end == FileReader::End::failed ? reader.error() : kEndedEarly;
            return side == 0 ? ArrivingIdentity::file1Failed : ArrivingIdentity::file2Failed;
        }
        const int slower = readers_[0].arrived() <= readers_[1].arrived() ? 0 : 1;
        readers_[slower].waitFor(checked + 1);
    }
}

FilePair ArrivingPair::beginnings(uint64_t bytes) {
    bool partial[2] = {false, false};
    for (int side : {0, 1}) {
        const FileReader& reader = readers_[side];
        reader.waitFor(std::min(bytes, reader.size()));
        // No more than asked for: what else has arrived comes with the next, larger asking.
        uint64_t count = std::min(reader.arrived(), bytes);
        partial[side] = count < reader.size();
        if (kWideBuild && partial[side]) count = wholeCharacters(reader.block(), count);
        // A copy: the whole file's image is decoded on its own once it is in.
        FileImage& beginning = beginnings_[side];
        beginning = FileImage{};
        beginning.raw.reset(static_cast<uint8_t*>(malloc(std::max<uint64_t>(count, 1))));
        if (!beginning.raw) count = 0;
        if (count > 0) memcpy(beginning.raw.get(), reader.block(), count);
        beginning.rawSize = count;
    }
    // Without memory for the decoded texts, the beginnings stay bytes; the whole says otherwise.
    (void)decodeTexts(beginnings_[0], beginnings_[1]);
    beginningEncodings_[0] = beginnings_[0].encoding;
    beginningEncodings_[1] = beginnings_[1].encoding;
    FilePair files = viewed_(beginnings_[0], beginnings_[1]);
    files.offsetDigits = countOffsetDigits(readers_[0].size(), readers_[1].size());
    files.note.clear(); // said of the whole files, once they are in
    files.left.partial = partial[0];
    files.left.wholeSize = readers_[0].size();
    files.right.partial = partial[1];
    files.right.wholeSize = readers_[1].size();
    return files;
}

WholeFiles ArrivingPair::whole(const std::atomic<bool>* stop) {
    WholeFiles result;
    for (FileReader& reader : readers_) {
        reader.waitFor(UINT64_MAX, stop);
        if (reader.end() == FileReader::End::none || reader.end() == FileReader::End::stopped)
            return result; // stopped
    }
    std::u16string message;
    for (int side : {0, 1}) {
        FileReader& reader = readers_[side];
        FileImage& image = side == 0 ? image1_ : image2_;
        image = FileImage{};
        image.rawSize = reader.arrived();
        image.raw = reader.takeBlock();
        const std::u16string file = u"File " + ascii(std::to_string(side + 1));
        if (!message.empty()) continue; // the first file's news first
        if (reader.end() == FileReader::End::cut)
            message = file + u" got shorter while it was read: shown as far as it was read";
        else if (reader.end() == FileReader::End::failed)
            message = file + u" could not be read whole (" +
                      ascii(loadFailureText(reader.error())) + u"): shown as far as it was read";
        else if (reader.changed())
            message = file + u" changed while it was read: r reads it again";
    }
    if (!decodeTexts(image1_, image2_)) {
        result.outcome = WholeFiles::outOfMemory;
        return result;
    }
    result.outcome = WholeFiles::whole;
    result.decodedOtherwise =
        image1_.encoding != beginningEncodings_[0] || image2_.encoding != beginningEncodings_[1];
    result.files = viewed_(image1_, image2_);
    if (result.decodedOtherwise && message.empty())
        message = u"Read whole, the files decode otherwise than their beginnings: shown anew";
    result.message = message.empty() ? result.files.note : message;
    return result;
}

int ArrivingPair::readPercent() const {
    uint64_t arrived = 0;
    uint64_t size = 0;
    bool ended = true;
    for (const FileReader& reader : readers_) {
        arrived += reader.arrived();
        size += reader.size();
        ended = ended && reader.end() != FileReader::End::none;
    }
    if (ended || size == 0) return 100;
    return static_cast<int>(std::min<uint64_t>(99, arrived * 100 / size));
}
