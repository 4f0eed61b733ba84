// Shrinking photos before upload.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vesk {

// The JPEG at `path` decoded and encoded again at the lowest quality; absent
// when the file cannot be read or is not a decodable JPEG.
std::optional<std::string> reencodeJpegAtLowestQuality(const std::filesystem::path& path);

}  // namespace vesk
