#pragma once
// Menu windows driven as the run mode drives them, in a sandbox: the test
// thread is the main loop. It receives every message from the bus, changes
// pages and hands the rest to the current window, and keeps what it saw.
// Windows the tested ones hand over to are stand-ins that only listen.

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/ui/MessageHandler.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "host/display/LcdShot.h"
#include "tests/menus/BusLoop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace menutest {

namespace WM = vk::WM;
namespace WND = vk::WND;
namespace PARAM1 = vk::PARAM1;
namespace STR = vk::STR;

inline std::string Env(const char* name)
{
    return std::getenv(name);
}

// The board's storage media in the sandbox: images on loop devices.
inline std::string CardTool()
{
    return Env("DASHREC_SOURCE_DIR") + "/host/card/card.sh";
}

inline int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A window that only listens: what the tested windows hand over to.
class Listener : public vk::MessageHandler {
public:
    explicit Listener(vk::WND::ID wnd) : MessageHandler(wnd, 0) {}
    void OnMessage(ipc_msg_t&) override {}
    void OnInit(ipc_msg_t&) override {}
};

class MenuWindows : public BusLoop {
protected:
    void SetUp() override
    {
        UseResourcesWithListeners();
        Shell("mkdir -p /mnt/extsd");
        // The backup media's format runs the layout tool found on PATH, as on the board.
        setenv("PATH", (Env("DASHREC_BINARY_DIR") + "/cardform:" + Env("PATH")).c_str(), 1);
        vk::Singleton<vk::SDDebug>::Inst()->Init();
        vk::Singleton<vk::Sound>::Inst()->Init();
        vk::Resource::Inst()->Init(LCD_WIDTH, LCD_HEIGHT, true);
        vk::UIQueue::Inst()->Init();
        vk::Singleton<vk::UITimer>::Inst()->Init(10);
        vk::Singleton<vk::UITimer>::Inst()->Start();
        dvr = vk::Singleton<vk::CMainDvr>::Inst();
        for (WND::ID id : LISTENERS)
            dvr->RegisterHandler(id, std::make_shared<Listener>(id));
    }

    // The real window of `id` in place of its stand-in.
    template <typename Window>
    Window* Use(vk::WND::ID id)
    {
        auto window = std::make_shared<Window>(id);
        dvr->RegisterHandler(id, window);
        return window.get();
    }

    // Opens a window as if `caller` had closed to it, and runs its INIT.
    void Open(vk::WND::ID id, int caller)
    {
        dvr->SetPage(id, caller);
        ASSERT_TRUE(PumpUntil(Is(id, WM::INIT), 1000));
    }

    // A key on the current window, delivered; what it causes is posted after it.
    void Press(int key)
    {
        int wnd = dvr->CurrentWindow();
        vk::UIQueue::Inst()->SendMessage(wnd, WM::BUTTON, key, 0, nullptr);
        ASSERT_TRUE(PumpUntil([wnd, key](const ipc_msg_t& msg) {
            return msg.wnd == wnd && msg.cmd == WM::BUTTON && msg.param1 == key;
        }, 3000));
    }

    // Touches button `index` of the current window and waits for the page change it asks for.
    void Choose(int index)
    {
        int wnd = dvr->CurrentWindow();
        const SDL_Rect& area = vk::Resource::Inst()->GetStateComponent(wnd, index)->area;
        int point = (area.x + area.w / 2) << 12 | (area.y + area.h / 2);
        vk::UIQueue::Inst()->SendMessage(wnd, WM::BUTTON, PARAM1::TOUCH, point, nullptr);
        EXPECT_TRUE(PumpUntil(Is(wnd, WM::CHANGE_PAGE), 3000));
    }

    // The first CLOSE the window posted, as {target, param2}; {0, 0} without one.
    std::pair<int, int> ClosedTo(int wnd) const
    {
        for (const ipc_msg_t& msg : seen)
            if (msg.wnd == wnd && msg.cmd == WM::CLOSE)
                return { msg.param1, msg.param2 };
        return { 0, 0 };
    }

    std::vector<int> Commands(int wnd, int first, int last) const
    {
        std::vector<int> cmds;
        for (const ipc_msg_t& msg : seen)
            if (msg.wnd == wnd && msg.cmd >= first && msg.cmd <= last)
                cmds.push_back(msg.cmd);
        return cmds;
    }

    // Has the current window paint itself, then saves what the LCD shows
    // into the build's screenshot folder.
    std::string Screenshot(const std::string& name)
    {
        int wnd = dvr->CurrentWindow();
        vk::UIQueue::Inst()->SendMessage(wnd, WM::PAINT, 0, 0, nullptr);
        EXPECT_TRUE(PumpUntil(Is(wnd, WM::PAINT), 3000));
        std::string dir = Env("DASHREC_BINARY_DIR") + "/screenshots/menus";
        Shell("mkdir -p " + dir);
        std::string path = dir + "/" + name + ".png";
        EXPECT_TRUE(host::SaveLcdPng(vk::Resource::Inst()->GetHandle(), path.c_str()));
        return path;
    }

    vk::CMainDvr* dvr = nullptr;

private:
    static constexpr WND::ID LISTENERS[] = { WND::LIVEVIEW, WND::MAINMENU, WND::MESSAGE_BOX, WND::MEMORY,
        WND::MENU_FORMAT, WND::BACKUP_FILE, WND::COPY_RECENT, WND::COPY_FOLDER, WND::SELECT_FILE,
        WND::COPY_PROCEDURE, WND::SD_FORMAT_DIALOG };

    // The build's resources in a working folder of the sandbox, with a blank
    // screen for each stand-in that has none of its own yet.
    void UseResourcesWithListeners()
    {
        std::string build = Env("DASHREC_BINARY_DIR") + "/rsc";
        ASSERT_EQ(Shell("mkdir -p /tmp/work/rsc && ln -sfn " + build + "/images /tmp/work/rsc/images && ln -sfn " + build
                      + "/fonts /tmp/work/rsc/fonts && ln -sf " + build + "/_lang.ini /tmp/work/rsc/_lang.ini"),
            0);
        std::string menu = ReadFile(build + "/_menu.xml");
        std::string blanks;
        for (WND::ID id : LISTENERS) {
            std::string state = "<state id=\"" + std::to_string(id) + "\"";
            if (menu.find(state) == std::string::npos)
                blanks += state + " x=\"0\" y=\"0\" w=\"480\" h=\"320\" bg_color=\"000000\">\n</state>\n";
        }
        menu.insert(menu.rfind("</screens>"), blanks);
        std::ofstream("/tmp/work/rsc/_menu.xml") << menu;
        ASSERT_EQ(chdir("/tmp/work"), 0);
    }

    void Dispatch(ipc_msg_t& msg) override
    {
        if (msg.cmd == WM::CHANGE_PAGE)
            dvr->SetPage(WND::ID(msg.param1), msg.param2);
        else if (msg.cmd == WM::TIMER && msg.wnd != WND::CMAIN_DVR)
            dvr->OnTimer(msg);
        else if (msg.cmd != WM::TIMER)
            dvr->OnDefault(msg);
    }
};

} // namespace menutest
