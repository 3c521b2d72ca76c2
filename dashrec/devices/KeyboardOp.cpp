#include "dashrec/devices/KeyboardOp.h"

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/CFbGrab.h"
#include "dashrec/devices/Micom.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vk {

namespace {

const int CR = 13;
const int ESC = 27;
const char* const PROMPT = "\nVELMORA>";
const char* const COMMAND_LOG = "/tmp/cmd_log";
const char* const COPY_DEVICE = "/dev/mmcblk1p1";

int screenshotCounter = 0;

// A key that only posts a message.
struct KeyMessage {
    char key;
    int wnd;
    int cmd;
    int param1;
    int param2;
};

const KeyMessage KEY_MESSAGES[] = {
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
};

void Post(int wnd, int cmd, int param1, int param2)
{
    UIQueue::Inst()->SendMessage(wnd, cmd, param1, param2);
}

void Say(const char* text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void Shell(const char* command)
{
    std::system(command);
}

// Waits for a key while the console runs, so that Finalize can end the thread.
bool KeyWaiting(const std::atomic<bool>& running)
{
    pollfd input { STDIN_FILENO, POLLIN, 0 };
    while (running) {
        int ready = poll(&input, 1, 100);
        if (ready != 0 && !(ready < 0 && errno == EINTR))
            return true;
    }
    return false;
}

// The console's terminal, switched to single key strokes without echo for as
// long as the console reads it. Switching it for every key (and back) would
// let keys typed in between wait in a line buffer, or turn CR into LF.
class KeyTerminal {
public:
    KeyTerminal()
        : _terminal(tcgetattr(STDIN_FILENO, &_saved) == 0)
    {
        if (!_terminal)
            return;
        termios raw = _saved;
        raw.c_lflag &= ~(ICANON | ECHO);
        // Enter arrives as the CR the console reacts to, not turned into LF.
        raw.c_iflag &= ~ICRNL;
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSADRAIN, &raw);
    }
    ~KeyTerminal()
    {
        if (_terminal)
            tcsetattr(STDIN_FILENO, TCSADRAIN, &_saved);
    }
    KeyTerminal(const KeyTerminal&) = delete;
    KeyTerminal& operator=(const KeyTerminal&) = delete;

private:
    termios _saved {};
    bool _terminal;
};

// One byte of the console; -1 at the end of input or when the console stops.
// Without a terminal (a pipe, a file) bytes are read as they come.
int getch(const std::atomic<bool>& running)
{
    unsigned char byte = 0;
    ssize_t got = -1;
    if (KeyWaiting(running)) {
        do {
            got = read(STDIN_FILENO, &byte, 1);
        } while (got < 0 && errno == EINTR);
    }
    return got == 1 ? byte : -1;
}

} // namespace

void KeyboardOp::Init()
{
    _running = true;
}

void KeyboardOp::Start()
{
    _t = std::thread([this] { Run(); });
}

void KeyboardOp::Finalize()
{
    // The thread sees this within its poll's time-out.
    _running = false;
    if (_t.joinable())
        _t.join();
}

void KeyboardOp::Run()
{
    KeyTerminal terminal;
    while (_running) {
        int byte = getch(_running);
        // End of input (no console, as in CI): stop instead of spinning on it.
        if (byte < 0)
            break;
        if (_lineMode)
            OnLineByte(byte);
        else if (!OnKey(byte))
            break;
    }
}

void KeyboardOp::OnLineByte(int byte)
{
    if (byte == ESC) {
        _lineMode = false;
        Say("Exit");
        return;
    }
    if (byte != CR) {
        // The line keeps what fits; the rest of an overlong line is dropped.
        if (_length < LINE_SIZE - 1)
            _line[_length++] = static_cast<char>(byte);
        return;
    }
    if (_length > 0)
        RunLine();
    _length = 0;
    _line[0] = '\0';
    Say(PROMPT);
}

void KeyboardOp::RunLine()
{
    _line[_length] = '\0';
    std::printf("\nVELMORA>%s\n", _line);
    std::fflush(stdout);
    std::string command = std::string(_line) + " > " + COMMAND_LOG;
    Shell(command.c_str());
    FILE* log = std::fopen(COMMAND_LOG, "r");
    if (log == nullptr)
        return;
    char text[1024];
    while (std::fgets(text, sizeof(text), log) != nullptr)
        std::fputs(text, stdout);
    std::fclose(log);
    std::fflush(stdout);
}

bool KeyboardOp::OnKey(int key)
{
    if (key == CR) {
        _lineMode = true;
        _length = 0;
        _line[0] = '\0';
        Say(PROMPT);
        return true;
    }
    if (key < CR || key > 126)
        return true;
    for (const KeyMessage& message : KEY_MESSAGES) {
        if (message.key == key) {
            Post(message.wnd, message.cmd, message.param1, message.param2);
            return true;
        }
    }
    if (key >= '0' && key <= '9') {
        Post(WND::ANY, WM::BUTTON, PARAM1::TOUCH_DEBUG, key - '0');
        return true;
    }
    Micom* micom = Singleton<Micom>::Inst();
    switch (key) {
    case 'K':
        CopyScreenshots();
        break;
    case '`':
        Shell("free -k");
        break;
    case 'b':
        Shell("dropbear -R -B");
        Say("================== DROPBEAR starts ==================\n");
        break;
    case 'k':
        SaveScreenshot();
        break;
    case 'q':
        _running = false;
        Post(WND::CMAIN_DVR, WM::EXIT, 0, 0);
        return false;
    case 'v':
        micom->SendWDTDisable();
        break;
    case 'w':
        micom->SendWDTReset();
        break;
    case 'x':
        micom->SendWDTEnable();
        break;
    case 'y':
        micom->SendReset();
        break;
    case 'z':
        micom->SendPowerOff(Micom::POWER_KEY);
        break;
    default: // 't' (a power-chip readout) and every other key: nothing
        break;
    }
    return true;
}

void KeyboardOp::SaveScreenshot()
{
    char path[64];
    std::snprintf(path, sizeof(path), "/mnt/extsd/%04d.png", screenshotCounter);
    CFbGrab grab;
    if (!grab.Save(path)) {
        Singleton<SDDebug>::Inst()->Print("[KeyboardOp]Capture %s failed\n", path);
        return;
    }
    screenshotCounter++;
    std::printf("Capture %s\n", path);
    std::fflush(stdout);
}

void KeyboardOp::CopyScreenshots()
{
    if (access(COPY_DEVICE, F_OK) != 0) {
        Say("Need to insert USB memory or SD card.");
        return;
    }
    Say("Copy to SD card.");
    struct stat info {};
    if (stat("/tmp/usb", &info) != 0)
        Shell("mkdir -p /tmp/usb");
    Shell("mount /dev/mmcblk1p1 /tmp/usb");
    sleep(1);
    Shell("cp -f /mnt/extsd/*.png /tmp/usb/");
    sleep(1);
    Shell("rm -rf /mnt/extsd/*.png");
    sleep(1);
    Shell("sync");
    Shell("umount /tmp/usb");
    Say("Copy png files");
}

} // namespace vk

// kbd_*: a non-blocking raw reader of the console's terminal.
struct kbd_handle_t {
    int fd;
    termios saved;
    char buffer[12];
};

kbd_handle_t* kbd_init()
{
    const char* name = ttyname(STDIN_FILENO);
    int fd = name != nullptr ? open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (fd < 0) {
        std::printf("failed to open input device : %s\n", name != nullptr ? name : "(none)");
        return nullptr;
    }
    kbd_handle_t* handle = new kbd_handle_t {};
    handle->fd = fd;
    tcgetattr(fd, &handle->saved);
    termios raw = handle->saved;
    raw.c_lflag = 0;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &raw) != 0)
        std::printf("warning, failed to set keyboard attributes");
    std::printf("keyboard initialized");
    return handle;
}

int kbd_read(kbd_handle_t* handle, char* buf)
{
    if (handle == nullptr)
        return 0;
    ssize_t got = read(handle->fd, handle->buffer, sizeof(handle->buffer));
    if (got < 1)
        return static_cast<int>(got);
    std::memcpy(buf, handle->buffer, static_cast<size_t>(got));
    return static_cast<int>(got);
}

void kbd_release(kbd_handle_t* handle)
{
    if (handle == nullptr)
        return;
    tcsetattr(handle->fd, TCSANOW, &handle->saved);
    close(handle->fd);
    delete handle;
}
