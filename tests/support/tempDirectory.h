#pragma once
// A scratch directory for tests that touch files, removed with everything in it at the end.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <tuple>

class TempDirectory {
  public:
    TempDirectory() {
        std::string pattern = std::filesystem::temp_directory_path() / "qvd-test.XXXXXX";
        if (mkdtemp(pattern.data())) root = pattern;
        EXPECT_FALSE(root.empty()) << "cannot make a scratch directory";
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    const std::string& path() const { return root; }
    std::string operator/(const std::string& name) const { return root + "/" + name; }

    // Writes a file (directories on the way are made) and returns its full path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string full = *this / name;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream(full, std::ios::binary) << bytes;
        return full;
    }

    std::string makeDirectory(const std::string& name) const {
        std::string full = *this / name;
        std::filesystem::create_directories(full);
        return full;
    }

    // Every entry below the root with its size, mode and modification time: two equal snapshots
    // mean nothing was created, removed or changed.
    using Snapshot = std::map<std::string, std::tuple<long long, unsigned, long long, long>>;
    Snapshot snapshot() const {
        Snapshot entries;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            struct stat status {};
            lstat(entry.path().c_str(), &status);
            entries[entry.path().string()] = {status.st_size, status.st_mode,
                                              static_cast<long long>(status.st_mtim.tv_sec),
                                              status.st_mtim.tv_nsec};
        }
        return entries;
    }

  private:
    std::string root;
};
