// The reference web widget (widget/): the chat's pages and their assets, embedded in the
// binary at build time so the server serves them from any working directory.
//
// Threading: constant data; read from any thread.
#pragma once

#include <span>
#include <string_view>

namespace vesk::dev {

struct WidgetFile {
    std::string_view name;  // the file's name in widget/, e.g. "widget.js"
    std::string_view bytes;
};

// Every file of widget/, by name.
[[nodiscard]] std::span<const WidgetFile> widgetFiles();

}  // namespace vesk::dev
