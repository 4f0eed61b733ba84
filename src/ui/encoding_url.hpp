// A URL split into its directory part and its (escaped) file name.
//
// EncodingURL takes the text after the last "/" as the file name and removes
// it wherever it occurs in the URL; its callers rely on that. Downloads use
// `downloadURL`, which touches only the last path component.
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

// A remote file's URL as downloads see it.
struct DownloadURL {
    // Absolute http(s) URL with the file name escaped once (an escaped name
    // stays as it was): what is fetched, and the key the download is known by.
    std::string url;
    // The last path component, percent-decoded; empty when the path ends in
    // "/" or there is none.
    std::string filename;
};

// Nothing when `remote` is no http or https URL with a host, or no
// well-formed URL can be built from it. The query is kept; a fragment, which
// never reaches the server, is dropped.
[[nodiscard]] std::optional<DownloadURL> downloadURL(std::string_view remote);

}  // namespace vesk
