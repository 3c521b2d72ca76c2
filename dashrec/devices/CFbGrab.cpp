#include "dashrec/devices/CFbGrab.h"

#include "dashrec/core/SDDebug.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

namespace vk {

namespace {

const char* const FRAME_BUFFER = "/dev/fb0";

// One colour channel of a pixel, widened to 8 bits.
unsigned char Channel(uint32_t pixel, const fb_bitfield& field)
{
    if (field.length == 0)
        return 0xFF;
    uint32_t value = (pixel >> field.offset) & ((1u << field.length) - 1);
    return static_cast<unsigned char>(field.length >= 8 ? value >> (field.length - 8)
                                                         : value * 255 / ((1u << field.length) - 1));
}

uint32_t PixelAt(const unsigned char* at, int bytes)
{
    uint32_t pixel = 0;
    for (int i = 0; i < bytes; ++i)
        pixel |= static_cast<uint32_t>(at[i]) << (8 * i);
    return pixel;
}

} // namespace

std::vector<unsigned char> CFbGrab::ToRgba(const Screen& screen, const unsigned char* frame)
{
    const fb_var_screeninfo& var = screen.var;
    const int bytes = static_cast<int>((var.bits_per_pixel + 7) / 8);
    std::vector<unsigned char> rgba(static_cast<size_t>(var.xres) * var.yres * 4);
    for (uint32_t y = 0; y < var.yres; ++y) {
        const unsigned char* row = frame + static_cast<size_t>(y) * screen.lineLength;
        for (uint32_t x = 0; x < var.xres; ++x) {
            uint32_t pixel = PixelAt(row + static_cast<size_t>(x) * bytes, bytes);
            unsigned char* out = &rgba[(static_cast<size_t>(y) * var.xres + x) * 4];
            out[0] = Channel(pixel, var.red);
            out[1] = Channel(pixel, var.green);
            out[2] = Channel(pixel, var.blue);
            out[3] = var.transp.length == 0 ? 0xFF : Channel(pixel, var.transp);
        }
    }
    return rgba;
}

bool CFbGrab::WritePng(const unsigned char* rgba, const char* path, int width, int height, int interlace)
{
    FILE* outfile = std::fopen(path, "wb");
    if (outfile == nullptr) {
        Singleton<SDDebug>::Inst()->Print("[CFbGrab]%s can't be created\n", path);
        return false;
    }
    png_structp png_ptr = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info_ptr = png_ptr != nullptr ? png_create_info_struct(png_ptr) : nullptr;
    if (info_ptr == nullptr || setjmp(png_jmpbuf(png_ptr))) {
        Singleton<SDDebug>::Inst()->Print("[CFbGrab]%s PNG write error\n", path);
        png_destroy_write_struct(&png_ptr, &info_ptr);
        std::fclose(outfile);
        return false;
    }
    png_init_io(png_ptr, outfile);
    png_set_compression_level(png_ptr, 9);
    png_set_IHDR(png_ptr, info_ptr, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, interlace,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png_ptr, info_ptr);
    std::vector<png_bytep> rows(height);
    for (int r = 0; r < height; ++r)
        rows[r] = const_cast<png_bytep>(rgba + static_cast<size_t>(r) * width * 4);
    png_write_image(png_ptr, rows.data());
    png_write_end(png_ptr, nullptr);
    png_destroy_write_struct(&png_ptr, &info_ptr);
    return std::fclose(outfile) == 0;
}

bool CFbGrab::Save(const std::string& path)
{
    Screen screen;
    if (!GetFramebufferData(FRAME_BUFFER, screen))
        return false;
    const fb_var_screeninfo& var = screen.var;
    // Rows may be padded: the frame is line length x height, not width x depth x height.
    size_t length = static_cast<size_t>(screen.lineLength) * var.yres;
    if (var.xres == 0 || var.yres == 0 || screen.lineLength < var.xres * ((var.bits_per_pixel + 7) / 8)) {
        Singleton<SDDebug>::Inst()->Print("Error: Not enough memory or data\n");
        return false;
    }
    std::vector<unsigned char> frame(length, 0);
    if (!ReadFramebuffer(FRAME_BUFFER, length, frame.data())) {
        Singleton<SDDebug>::Inst()->Print("Error: Not enough memory or data\n");
        return false;
    }
    std::vector<unsigned char> rgba = ToRgba(screen, frame.data());
    bool written = WritePng(rgba.data(), path.c_str(), static_cast<int>(var.xres), static_cast<int>(var.yres),
        PNG_INTERLACE_NONE);
    std::system("sync");
    return written;
}

} // namespace vk
