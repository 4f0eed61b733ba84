#include "net/download_file.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace vesk::net::detail {
namespace {

Error fileError(const std::string& what, int error) {
    return Error::make(Error::Kind::transport, what + ": " + std::strerror(error));
}

}  // namespace

Expected<DownloadFile> DownloadFile::create(std::filesystem::path destination) {
    // Hidden and of fixed length, so a long destination name cannot make it too long.
    std::string name = (destination.parent_path() / ".download-XXXXXX.part").string();
    const int fd = ::mkostemps(name.data(), 5, O_CLOEXEC);
    if (fd < 0) {
        return unexpected(fileError(
            "The file could not be created in " + destination.parent_path().string(), errno));
    }
    return DownloadFile(std::move(destination), std::filesystem::path(std::move(name)), fd);
}

DownloadFile::DownloadFile(std::filesystem::path destination, std::filesystem::path temporary,
                           int fd)
    : destination_(std::move(destination)), temporary_(std::move(temporary)), fd_(fd) {}

DownloadFile::DownloadFile(DownloadFile&& other) noexcept
    : destination_(std::move(other.destination_)),
      temporary_(std::move(other.temporary_)),
      fd_(std::exchange(other.fd_, -1)),
      committed_(std::exchange(other.committed_, true)),
      failure_(std::move(other.failure_)) {}

DownloadFile::~DownloadFile() {
    discard();
}

void DownloadFile::discard() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!committed_) {
        ::unlink(temporary_.c_str());
        committed_ = true;
    }
}

bool DownloadFile::write(const char* data, std::size_t size) noexcept {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A short write without an error is the disk running out.
            const int error = n < 0 ? errno : ENOSPC;
            failure_ = std::string("The file could not be written: ") + std::strerror(error);
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

Expected<std::filesystem::path> DownloadFile::commit() {
    // Without the flush a crash soon after could leave an empty file under the final name.
    if (::fdatasync(fd_) != 0) {
        const int error = errno;
        discard();
        return unexpected(fileError("The file could not be written", error));
    }
    ::close(std::exchange(fd_, -1));
    if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        const int error = errno;
        discard();
        return unexpected(
            fileError("The file could not be saved as " + destination_.string(), error));
    }
    committed_ = true;
    return destination_;
}

}  // namespace vesk::net::detail
