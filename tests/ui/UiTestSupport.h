#pragma once
// Shared by the toolkit's tests: a working folder that holds rsc/, and
// screenshots of the LCD read back as pixels.

#include "dashrec/ui/Resource.h"
#include "host/display/LcdShot.h"

#include <SDL/SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace uitest {

inline std::string BinaryDir()
{
    const char* dir = std::getenv("DASHREC_BINARY_DIR");
    return dir != nullptr ? dir : ".";
}

// The build's own resources, as the program finds them.
inline void UseBuildResources()
{
    ASSERT_EQ(chdir(BinaryDir().c_str()), 0);
}

inline void MakeDirs(const std::string& path)
{
    std::string cmd = "mkdir -p '" + path + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

inline void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

// A working folder of the test's own with rsc/ holding the given screen and
// language files, the build's fonts, and the build's images unless the test
// brings its own.
inline std::string UseOwnResources(const std::string& name, const std::string& menu, const std::string& lang,
    bool ownImages = false)
{
    std::string work = BinaryDir() + "/tests/ui/work/" + name;
    std::string build = BinaryDir() + "/rsc";
    EXPECT_EQ(std::system(("rm -rf '" + work + "'").c_str()), 0);
    MakeDirs(work + "/rsc");
    EXPECT_EQ(symlink((build + "/fonts").c_str(), (work + "/rsc/fonts").c_str()), 0);
    if (ownImages)
        MakeDirs(work + "/rsc/images");
    else
        EXPECT_EQ(symlink((build + "/images").c_str(), (work + "/rsc/images").c_str()), 0);
    WriteFile(work + "/rsc/_menu.xml", menu);
    WriteFile(work + "/rsc/_lang.ini", lang);
    EXPECT_EQ(chdir(work.c_str()), 0);
    return work;
}

// Colour 0xRRGGBB of a pixel of any 32-bit surface.
inline unsigned PixelAt(SDL_Surface* surface, int x, int y)
{
    const Uint8* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
    Uint32 pixel = reinterpret_cast<const Uint32*>(row)[x];
    Uint8 r, g, b;
    SDL_GetRGB(pixel, surface->format, &r, &g, &b);
    return static_cast<unsigned>(r) << 16 | g << 8 | b;
}

// Saves what the LCD shows into the build's screenshot folder and reads it back.
class Screenshot {
public:
    explicit Screenshot(const std::string& name)
    {
        std::string dir = BinaryDir() + "/screenshots/ui";
        MakeDirs(dir);
        path = dir + "/" + name + ".png";
        EXPECT_TRUE(host::SaveLcdPng(vk::Resource::Inst()->GetHandle(), path.c_str()));
        SDL_Surface* loaded = IMG_Load(path.c_str());
        EXPECT_NE(loaded, nullptr) << path;
        surface = SDL_CreateRGBSurface(SDL_SWSURFACE, loaded->w, loaded->h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        SDL_BlitSurface(loaded, nullptr, surface, nullptr);
        SDL_FreeSurface(loaded);
    }
    ~Screenshot() { SDL_FreeSurface(surface); }

    unsigned At(int x, int y) const { return PixelAt(surface, x, y); }

    std::string path;
    SDL_Surface* surface = nullptr;
};

} // namespace uitest
