// What kind of file a file URL or path names, judged by its extension (case-insensitive)
// from the table in file_type.cpp: e.g. "photo.JPG" is "public.jpeg", "image/jpeg",
// "JPEG image"; "report.pdf" is "com.adobe.pdf", "application/pdf", "PDF document". A file
// with no or an unknown extension is "public.data" ("Document"); a directory is
// "public.folder" ("Folder"). Symbolic links are followed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesk::text {

// The file's uniform type identifier; absent when no such file exists or `url` is not a
// file URL or path.
[[nodiscard]] std::optional<std::string> typeIdentifier(std::string_view url);

// The file's display name (its last path component, decoded); absent when no such file
// exists.
[[nodiscard]] std::optional<std::string> localizedName(std::string_view url);

// A human description of the file's kind ("JPEG image"); absent when no such file exists.
[[nodiscard]] std::optional<std::string> localizedTypeDescription(std::string_view url);

// The MIME type for a file name by its extension; "application/octet-stream" when unknown.
[[nodiscard]] std::string_view mimeTypeForFileName(std::string_view fileName);

// The local path of a "file:" URL (percent-decoded) or of a plain path; absent for URLs
// of other schemes, hosts other than "localhost", and undecodable escapes.
[[nodiscard]] std::optional<std::string> filePath(std::string_view url);

}  // namespace vesk::text
