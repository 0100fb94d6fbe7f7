#pragma once
// Two large regular files read on helper threads while the view shows their beginnings: the
// identity test as their bytes come, the beginnings for the first screen, and the whole files
// for the comparison behind it.

#include "app/fileImage.h"
#include "app/loading.h"
#include "platform/fileReader.h"
#include "viewer/arrivingFiles.h"

#include <cstdint>
#include <functional>

// Files from this length on (either of the two) are shown from their beginnings while they are
// read; smaller ones are read whole first, in a moment.
inline constexpr uint64_t kArrivingFrom = uint64_t{8} << 20;

// How the identity test of files still arriving ended.
enum class ArrivingIdentity { identical, different, file1Failed, file2Failed };

class ArrivingPair {
  public:
    // The view's files for two images: names and the rest as for files loaded whole. The whole
    // files are read and decoded into image1 and image2, whose owner (the driver) outlives the
    // view.
    using ViewedFiles = std::function<FilePair(const FileImage&, const FileImage&)>;

    ArrivingPair(FileImage& image1, FileImage& image2, ViewedFiles viewed);

    // Opens both files, the first judged first. On a failure reason says why
    // (platform/files.h).
    [[nodiscard]] LoadResult open(const char* path1, const char* path2, int& reason);
    // Starts reading both, once both opened.
    void start();

    // The identity test as the bytes arrive: files of different lengths differ at once, files
    // of one length at their first differing byte, and are identical only once every byte was
    // compared. A file that ends early or fails before a difference is seen cannot be loaded,
    // with reason.
    [[nodiscard]] ArrivingIdentity identity(int& reason);

    // What the view takes the files from; lives as long as this pair.
    [[nodiscard]] const ArrivingFiles& forView() const { return view_; }

  private:
    FilePair beginnings(uint64_t bytes);
    WholeFiles whole(const std::atomic<bool>* stop);
    int readPercent() const;

    FileImage& image1_;
    FileImage& image2_;
    ViewedFiles viewed_;
    FileReader readers_[2];
    // Copies of the beginnings the first screen was drawn from, decoded; kept while the view
    // may point into them.
    FileImage beginnings_[2];
    uint32_t beginningEncodings_[2] = {0, 0};
    ArrivingFiles view_;
};
