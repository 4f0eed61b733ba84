// The file a download writes: a temporary file beside its destination that
// takes the destination's name only once the whole body is in, so no reader
// ever finds a partial file under that name.
//
// Threading: one thread at a time (the HTTP client's network thread).
// Invariant: until `commit` succeeds, the temporary file is removed when the
// object goes, whatever ended the transfer.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "core/expected.hpp"

namespace vesk::net::detail {

class DownloadFile {
  public:
    // Creates the temporary file (mode 0600) in the destination's directory.
    [[nodiscard]] static Expected<DownloadFile> create(std::filesystem::path destination);

    DownloadFile(DownloadFile&& other) noexcept;
    DownloadFile& operator=(DownloadFile&&) = delete;
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;
    ~DownloadFile();

    // Appends all of `size` bytes; false when the disk refuses (full, quota,
    // file size limit), with the reason in `failure()`.
    [[nodiscard]] bool write(const char* data, std::size_t size) noexcept;

    // Flushes the bytes to disk and moves the file to its destination,
    // replacing any file there.
    [[nodiscard]] Expected<std::filesystem::path> commit();

    [[nodiscard]] const std::string& failure() const noexcept { return failure_; }

  private:
    DownloadFile(std::filesystem::path destination, std::filesystem::path temporary, int fd);
    void discard() noexcept;

    std::filesystem::path destination_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
    std::string failure_;
};

}  // namespace vesk::net::detail
