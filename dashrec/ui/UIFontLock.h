#pragma once
// FreeType faces are not thread-safe, and the media engine's overlay thread
// draws with the same fonts as the UI thread: every use of a font, and of the
// overlay pictures and debug text, holds this lock.

#include <mutex>

namespace vk {

std::mutex& FontMutex();

class FontLock {
public:
    FontLock() : _guard(FontMutex()) {}

private:
    std::lock_guard<std::mutex> _guard;
};

} // namespace vk
