#include "services/network/jpeg_reencoder.hpp"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace vesk {

namespace {

// Photos beyond this are refused rather than decoded into memory.
constexpr std::uintmax_t kMaxInputBytes = 64U * 1024U * 1024U;
constexpr JDIMENSION kMaxSide = 20000;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(manager->jump, 1);
}

void silence(j_common_ptr /*info*/) {}

struct Image {
    std::vector<unsigned char> pixels;
    JDIMENSION width = 0;
    JDIMENSION height = 0;
    int components = 0;
    J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
};

// No C++ object with a destructor may live across setjmp here; the buffer is
// sized before decoding starts and filled through a raw pointer.
bool decode(const std::vector<unsigned char>& input, Image& image) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    errors.base.output_message = silence;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, input.data(), static_cast<unsigned long>(input.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxSide ||
        info.output_height > kMaxSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const std::size_t stride = static_cast<std::size_t>(info.output_width) *
                               static_cast<std::size_t>(info.output_components);
    image.pixels.resize(stride * info.output_height);
    unsigned char* base = image.pixels.data();
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = base + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    image.width = info.output_width;
    image.height = info.output_height;
    image.components = info.output_components;
    image.colorSpace = info.out_color_space;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool encode(const Image& image, unsigned char** out, unsigned long* size) {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    errors.base.output_message = silence;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = image.components;
    info.in_color_space = image.colorSpace;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 0, TRUE);  // clamped to the lowest quality the codec has
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.components);
    auto* base = const_cast<unsigned char*>(image.pixels.data());
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = base + stride * info.next_scanline;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::optional<std::string> reencodeJpegAtLowestQuality(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size == 0 || size > kMaxInputBytes) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::vector<unsigned char> input((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    Image image;
    if (!decode(input, image)) {
        return std::nullopt;
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const bool ok = encode(image, &out, &outSize);
    std::unique_ptr<unsigned char, decltype(&std::free)> owned(out, &std::free);
    if (!ok || out == nullptr) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(out), outSize);
}

}  // namespace vesk
