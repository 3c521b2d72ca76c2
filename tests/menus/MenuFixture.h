#pragma once
// The menu windows driven through the bus in the sandbox, without the media
// engine: the run mode's registry and page changes are the real ones, the live
// view is a stand-in that only notes its openings. Every message is handed on
// as the run mode would and kept, so what the windows posted and the timers
// that fired are seen.

#include "dashrec/core/Pref.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/CMenu.h"
#include "dashrec/menus/CMenuSystem.h"
#include "dashrec/menus/CMessageBox.h"
#include "dashrec/ui/MessageHandler.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "host/display/LcdShot.h"
#include "tests/menus/BusLoop.h"
#include "tests/runmode/Harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace menutest {

namespace WND = vk::WND;
namespace WM = vk::WM;
namespace TIMER = vk::TIMER;
namespace PARAM1 = vk::PARAM1;
namespace STR = vk::STR;
using vk::Singleton;

// Stands in for a window the menus open: notes how often it was opened.
class StandIn : public vk::MessageHandler {
public:
    explicit StandIn(WND::ID wnd) : MessageHandler(wnd, 0) {}
    void OnMessage(ipc_msg_t& msg) override
    {
        if (msg.cmd == WM::INIT)
            OnInit(msg);
        else if (msg.cmd == WM::CLOSE)
            OnClose(msg);
    }
    void OnInit(ipc_msg_t&) override { ++openings; }
    int openings = 0;
};

class MenuTest : public BusLoop {
protected:
    void SetUp() override
    {
        runmode::PrepareBoard();
        pref = Singleton<vk::Pref>::Inst();
        vk::Resource::Inst()->Init(480, 320, 1);
        vk::UIQueue::Inst()->Init();
        Singleton<vk::UITimer>::Inst()->Init(10);
        Singleton<vk::UITimer>::Inst()->Start();
        dvr = Singleton<vk::CMainDvr>::Inst();
        dvr->RegisterHandler(WND::LIVEVIEW, liveview);
        menu = Make<vk::CMenu>(WND::MAINMENU);
        Make<vk::CMessageBox>(WND::MESSAGE_BOX);
        Make<vk::CMenuSystem>(WND::SYSTEM);
        dvr->RegisterDVRHandler();
    }

    // Builds a window and registers it in place of the run mode's own.
    template <typename W>
    std::shared_ptr<W> Make(WND::ID wnd)
    {
        auto window = std::make_shared<W>(wnd);
        dvr->RegisterHandler(wnd, window);
        windows[wnd] = window;
        return window;
    }

    // Opens a window as the run mode does after a page change from `caller`.
    void Open(WND::ID wnd, WND::ID caller)
    {
        opened = WND::INVALID;
        dvr->SetPage(wnd, caller);
        ASSERT_TRUE(Reached(wnd)) << "window " << wnd;
    }

    // A key as the key thread sends it, to the current window; returns once
    // the window has handled it.
    void Key(int key, int param2 = 0)
    {
        WND::ID wnd = dvr->CurrentWindow();
        size_t before = SeenCount(Is(wnd, WM::BUTTON, key));
        Post(wnd, WM::BUTTON, key, param2);
        EXPECT_TRUE(Handled([&] { return SeenCount(Is(wnd, WM::BUTTON, key)) > before; }));
    }

    void Dispatch(ipc_msg_t& msg) override
    {
        if (msg.cmd == WM::CHANGE_PAGE)
            dvr->SetPage(WND::ID(msg.param1), msg.param2);
        else if (msg.wnd != WND::CMAIN_DVR)
            dvr->OnDefault(msg);
        if (msg.cmd == WM::INIT && msg.wnd == dvr->CurrentWindow())
            opened = WND::ID(msg.wnd);
    }

    // Handles messages until `done` holds, if it does not yet; false on time-out.
    bool Handled(const std::function<bool()>& done)
    {
        return done() || PumpUntil([&](const ipc_msg_t&) { return done(); }, 5000);
    }

    // Handles messages until `wnd` has been opened and has handled its INIT.
    bool Reached(WND::ID wnd)
    {
        return Handled([&] { return opened == wnd; });
    }

    size_t SeenCount(const Match& match) const
    {
        size_t n = 0;
        for (const ipc_msg_t& msg : seen)
            n += match(msg) ? 1 : 0;
        return n;
    }

    // The last CLOSE the window posted, or an empty message.
    ipc_msg_t LastClose(WND::ID wnd) const
    {
        for (auto it = seen.rbegin(); it != seen.rend(); ++it)
            if (it->wnd == wnd && it->cmd == WM::CLOSE)
                return *it;
        return ipc_msg_t {};
    }

    // Moves the focus of the current window to button `index` and presses OK.
    void Choose(unsigned index)
    {
        auto handler = windows.at(dvr->CurrentWindow());
        while (handler->GetButtonsFocused() != index)
            Key(PARAM1::KEY_DOWN);
        Key(PARAM1::KEY_OK);
    }

    // Chooses button `index` of the current window and waits for the window
    // to close and the run mode to change the page; the target it closed to,
    // 0 when it stayed.
    int Leads(unsigned index)
    {
        WND::ID wnd = dvr->CurrentWindow();
        size_t before = SeenCount(Is(wnd, WM::CHANGE_PAGE));
        Choose(index);
        if (!Handled([&] { return SeenCount(Is(wnd, WM::CHANGE_PAGE)) > before; }))
            return 0;
        Handled([&] { return opened == dvr->CurrentWindow(); }); // the page it changed to, if any, is open
        return LastClose(wnd).param1;
    }

    ImgData* Picture(const char* name) { return vk::Resource::Inst()->GetSurface(name); }

    // What the LCD shows; `redraw` paints the current window first.
    void Screenshot(const std::string& name, bool redraw = true)
    {
        std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/menus";
        runmode::Shell("mkdir -p " + dir);
        if (redraw)
            vk::Resource::Inst()->Draw(false);
        EXPECT_TRUE(host::SaveLcdPng(vk::Resource::Inst()->GetHandle(), (dir + "/" + name + ".png").c_str()));
    }

    vk::Pref* pref = nullptr;
    vk::CMainDvr* dvr = nullptr;
    std::shared_ptr<StandIn> liveview = std::make_shared<StandIn>(WND::LIVEVIEW);
    std::shared_ptr<vk::CMenu> menu;
    WND::ID opened = WND::INVALID; // the last window that handled its INIT
    std::map<int, std::shared_ptr<vk::MessageHandler>> windows;
};

} // namespace menutest
