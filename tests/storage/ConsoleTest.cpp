// The developer console driven through a pty: keys post their messages, the
// line mode runs a command, 'k' writes PNG screenshots of the LCD.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/devices/CFbGrab.h"
#include "dashrec/devices/KeyboardOp.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace vk;

struct Png {
    int width = 0;
    int height = 0;
    int colourType = -1;
    std::vector<unsigned char> rgba;
};

Png ReadPng(const std::string& path)
{
    Png png;
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return png;
    png.width = static_cast<int>(image.width);
    png.height = static_cast<int>(image.height);
    png.colourType = (image.format & PNG_FORMAT_FLAG_ALPHA) ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    image.format = PNG_FORMAT_RGBA;
    png.rgba.resize(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, png.rgba.data(), 0, nullptr);
    return png;
}

bool Exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

// The console reads the slave of a pty as its standard input; the test types on the master.
class Console : public ::testing::Test {
protected:
    void SetUp() override
    {
        _master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(_master, 0);
        ASSERT_EQ(grantpt(_master), 0);
        ASSERT_EQ(unlockpt(_master), 0);
        int slave = open(ptsname(_master), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        ASSERT_EQ(dup2(slave, STDIN_FILENO), STDIN_FILENO);
        close(slave);
        UIQueue::Inst()->Init();
        mkdir("/mnt/extsd", 0755);
        KeyboardOp::Inst()->Init();
        KeyboardOp::Inst()->Start();
        // Keys typed before the console switched its terminal would be taken as a line.
        termios mode {};
        for (int i = 0; i < 300 && tcgetattr(_master, &mode) == 0 && (mode.c_lflag & ICANON); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_FALSE(mode.c_lflag & ICANON);
    }

    void TearDown() override
    {
        UIQueue::Inst()->Finalize();
        close(_master);
    }

    void Type(const std::string& keys) { ASSERT_EQ(write(_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }

    ipc_msg_t Next()
    {
        ipc_msg_t msg;
        UIQueue::Inst()->RecvMessage(msg, 3000);
        return msg;
    }

    // Waits until `path` exists (the console works on its own thread).
    bool Appears(const std::string& path)
    {
        for (int i = 0; i < 300 && !Exists(path); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Exists(path);
    }

    int _master = -1;
};

TEST_F(Console, KeysPostTheirMessages)
{
    const struct {
        char key;
        int wnd, cmd, param1, param2;
    } keys[] = {
        { '3', WND::ANY, WM::BUTTON, PARAM1::TOUCH_DEBUG, 3 },
        { '0', WND::ANY, WM::BUTTON, PARAM1::TOUCH_DEBUG, 0 },
        { 'A', WND::ANY, WM::BUTTON, PARAM1::LONG_KEY_MENU, 0 },
        { 'C', WND::CMAIN_DVR, WM::SD_CARD, 0, 0 },
        { 'G', WND::CMAIN_DVR, WM::GPS, 0, 0 },
        { 'M', WND::LIVEVIEW, WM::HIDE_LIMIT_SPEED, 10, 0 },
        { 'N', WND::LIVEVIEW, WM::STOP_NORMAL_MODE, 0, 0 },
        { 'P', WND::ANY, WM::ACC, PARAM1::ACC_ON, 0 },
        { 'a', WND::ANY, WM::BUTTON, PARAM1::KEY_MENU, 0 },
        { 'c', WND::CMAIN_DVR, WM::SD_CARD, 1, 0 },
        { 'd', WND::ANY, WM::BUTTON, PARAM1::KEY_UP, 0 },
        { 'e', WND::LIVEVIEW, WM::GSENSOR_SIGNAL, 0, 0 },
        { 'f', WND::ANY, WM::BUTTON, PARAM1::KEY_OK, 0 },
        { 'g', WND::CMAIN_DVR, WM::GPS, 1, 0 },
        { 'i', WND::LIVEVIEW, WM::SHOW_VIOLENCE, 0, 0 },
        { 'l', WND::LIVEVIEW, WM::SHOW_LDWS_LEFT, 0, 0 },
        { 'm', WND::LIVEVIEW, WM::SHOW_LIMIT_SPEED, 23, 50 },
        { 'n', WND::LIVEVIEW, WM::START_NORMAL_MODE, 0, 0 },
        { 'p', WND::ANY, WM::ACC, PARAM1::ACC_OFF, 0 },
        { 'r', WND::LIVEVIEW, WM::SHOW_LDWS_RIGHT, 0, 0 },
        { 's', WND::ANY, WM::BUTTON, PARAM1::KEY_DOWN, 0 },
        { '~', WND::CMAIN_DVR, WM::SHUTDOWN, 4, 0 },
        { 'q', WND::CMAIN_DVR, WM::EXIT, 0, 0 },
    };
    // Ignored keys post nothing. Each message is taken before the next key:
    // the bus holds only a few unread messages.
    Type("\x01\x7fjt");
    for (const auto& k : keys) {
        Type(std::string(1, k.key));
        ipc_msg_t msg = Next();
        EXPECT_EQ(msg.wnd, k.wnd) << k.key;
        EXPECT_EQ(msg.cmd, k.cmd) << k.key;
        EXPECT_EQ(msg.param1, k.param1) << k.key;
        EXPECT_EQ(msg.param2, k.param2) << k.key;
    }
    Type("a"); // after 'q' the console has stopped
    ipc_msg_t none;
    EXPECT_LT(UIQueue::Inst()->RecvMessage(none, 300), 0);
    KeyboardOp::Inst()->Finalize();
}

TEST_F(Console, LineModeRunsAShellCommand)
{
    ::testing::internal::CaptureStdout();
    mkdir("/tmp/listed", 0755);
    Type("\rls /tmp\r");
    ASSERT_TRUE(Appears("/tmp/cmd_log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Type(std::string(600, 'x') + "\r\x1b" + "a");
    ipc_msg_t msg = Next();
    KeyboardOp::Inst()->Finalize();
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("\nVELMORA>ls /tmp\n"), std::string::npos) << out;
    EXPECT_NE(out.find("listed\n"), std::string::npos) << "the listing is printed";
    EXPECT_NE(out.find("\nVELMORA>" + std::string(511, 'x') + "\n"), std::string::npos) << "the line is bounded";
    EXPECT_NE(out.find("Exit"), std::string::npos);
    EXPECT_EQ(msg.param1, PARAM1::KEY_MENU) << "key mode resumes after ESC";
}

TEST_F(Console, ScreenshotKeyWritesNumberedPngsOfTheLcd)
{
    Type("k"); // no frame buffer yet: logged, the program goes on
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(Exists("/mnt/extsd/0000.png"));

    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    SDL_Surface* lcd = SDL_SetVideoMode(320, 480, 32, SDL_SWSURFACE);
    ASSERT_NE(lcd, nullptr);
    SDL_FillRect(lcd, nullptr, SDL_MapRGB(lcd->format, 0, 0, 255));
    SDL_Rect corner { 0, 0, 10, 20 };
    SDL_FillRect(lcd, &corner, SDL_MapRGB(lcd->format, 255, 128, 0));
    ::testing::internal::CaptureStdout();
    Type("k");
    ASSERT_TRUE(Appears("/mnt/extsd/0000.png"));
    Type("k");
    ASSERT_TRUE(Appears("/mnt/extsd/0001.png"));
    Type("q");
    Next();
    KeyboardOp::Inst()->Finalize();
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Capture /mnt/extsd/0001.png\n"), std::string::npos);

    Png png = ReadPng("/mnt/extsd/0000.png");
    ASSERT_EQ(png.width, 320);
    ASSERT_EQ(png.height, 480);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    auto pixel = [&png](int x, int y) {
        const unsigned char* p = &png.rgba[(static_cast<size_t>(y) * png.width + x) * 4];
        return std::vector<int> { p[0], p[1], p[2], p[3] };
    };
    EXPECT_EQ(pixel(5, 10), (std::vector<int> { 255, 128, 0, 255 }));
    EXPECT_EQ(pixel(200, 300), (std::vector<int> { 0, 0, 255, 255 }));
    SDL_Quit();
}

TEST(ConsoleInput, EndOfInputStopsTheConsole)
{
    int none = open("/dev/null", O_RDONLY);
    ASSERT_EQ(dup2(none, STDIN_FILENO), STDIN_FILENO);
    close(none);
    std::clock_t before = std::clock();
    KeyboardOp::Inst()->Init();
    KeyboardOp::Inst()->Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC, 0.1) << "the console spins";
    KeyboardOp::Inst()->Finalize();
}

TEST(FrameBuffer, PaddedRowsAndSixteenBitPixels)
{
    CFbGrab::Screen screen;
    screen.var.xres = 2;
    screen.var.yres = 2;
    screen.var.bits_per_pixel = 16;
    screen.var.red = { 11, 5, 0 };
    screen.var.green = { 5, 6, 0 };
    screen.var.blue = { 0, 5, 0 };
    screen.lineLength = 8; // two pixels of two bytes, and four bytes of padding
    const unsigned char frame[] = {
        0x00, 0xF8, 0xE0, 0x07, 0xEE, 0xEE, 0xEE, 0xEE, // red, green, padding
        0x1F, 0x00, 0xFF, 0xFF, 0xEE, 0xEE, 0xEE, 0xEE, // blue, white, padding
    };
    std::vector<unsigned char> expected = {
        255, 0, 0, 255, 0, 255, 0, 255,
        0, 0, 255, 255, 255, 255, 255, 255,
    };
    EXPECT_EQ(CFbGrab::ToRgba(screen, frame), expected);
}

} // namespace
