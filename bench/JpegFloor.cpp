#include "JpegFloor.h"

#include <QFile>

#include <algorithm>

#include <cstdio> // jpeglib.h needs FILE
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int width = 1800;
constexpr int height = 1200;
constexpr int blockWidth = width / 2;

struct ErrorJump {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOut(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}

struct Photo {
    std::vector<unsigned char> pixels; // RGB, rows of `width` pixels
    int width = 0;
    int height = 0;
};

bool decodeWhole(const QByteArray& data, Photo& photo)
{
    jpeg_decompress_struct info;
    ErrorJump errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpOut;
    jpeg_create_decompress(&info);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    photo.width = int(info.output_width);
    photo.height = int(info.output_height);
    photo.pixels.resize(size_t(photo.width) * 3 * size_t(photo.height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = photo.pixels.data() + size_t(info.output_scanline) * 3 * size_t(photo.width);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// Copies the top left block of `photo` (as much as it has) into `row` pixels from `column` on.
void copyBlock(const Photo& photo, int y, unsigned char* row, int column)
{
    if (y >= photo.height)
        return;
    const int pixels = std::min(blockWidth, photo.width);
    std::memcpy(row + size_t(column) * 3, photo.pixels.data() + size_t(y) * 3 * size_t(photo.width), size_t(pixels) * 3);
}

bool encodeBlocks(const Photo& left, const Photo& right, QByteArray& encoded)
{
    jpeg_compress_struct info;
    ErrorJump errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpOut;
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return false;
    }
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info); // 4:2:0
    jpeg_set_quality(&info, JpegFloor::quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(size_t(width) * 3, 255);
    while (info.next_scanline < info.image_height) {
        copyBlock(left, int(info.next_scanline), row.data(), 0);
        copyBlock(right, int(info.next_scanline), row.data(), blockWidth);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    encoded = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return true;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

namespace JpegFloor {

bool composeTwoBlocks(const QString& left, const QString& right, const QString& destination)
{
    Photo first;
    Photo second;
    QByteArray encoded;
    if (!decodeWhole(contents(left), first) || !decodeWhole(contents(right), second) || !encodeBlocks(first, second, encoded))
        return false;
    QFile file(destination);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(encoded) == encoded.size();
}

} // namespace JpegFloor
