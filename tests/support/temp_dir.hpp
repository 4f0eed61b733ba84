// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes.
#pragma once

#include <filesystem>

namespace vesk::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace vesk::testing
