// A URL split into its directory part and its (escaped) file name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class EncodingURL {
  public:
    explicit EncodingURL(std::string_view url);

    [[nodiscard]] const std::optional<std::string>& filename() const noexcept { return filename_; }
    [[nodiscard]] const std::optional<std::string>& urlPath() const noexcept { return urlPath_; }
    [[nodiscard]] const std::optional<std::string>& escapedFileName() const noexcept {
        return escapedFileName_;
    }
    [[nodiscard]] const std::optional<std::string>& originalFilename() const noexcept {
        return filename_;
    }
    // urlPath + escapedFileName when both exist and form a well-formed URL.
    [[nodiscard]] std::optional<std::string> url() const;

  private:
    std::optional<std::string> filename_;
    std::optional<std::string> urlPath_;
    std::optional<std::string> escapedFileName_;
};

}  // namespace vesk
