#pragma once
// A screenshot: the display frame buffer saved as a PNG file.

#include <cstddef>
#include <cstdint>
#include <linux/fb.h>
#include <string>
#include <vector>

namespace vk {

class CFbGrab {
public:
    // What a screenshot needs to know of the frame buffer.
    struct Screen {
        fb_var_screeninfo var {};
        uint32_t lineLength = 0; // bytes from one row to the next
    };

    // Writes the PNG of "/dev/fb0" to `path` and syncs; false (logged) on any failure.
    bool Save(const std::string& path);

    // The board's frame-buffer requests (one implementation per platform).
    bool GetFramebufferData(const char* device, Screen& screen);
    bool ReadFramebuffer(const char* device, size_t length, unsigned char* buffer);

    // `rgba` holds width x height pixels of four bytes.
    bool WritePng(const unsigned char* rgba, const char* path, int width, int height, int interlace);

    // The visible picture as RGBA rows, whatever the frame buffer's depth and pitch.
    static std::vector<unsigned char> ToRgba(const Screen& screen, const unsigned char* frame);
};

} // namespace vk
