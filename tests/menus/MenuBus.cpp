#include "tests/menus/MenuBus.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/ui/MessageHandler.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "host/board/Sysfs.h"

#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace menutest {

using vk::Singleton;

bool Exists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool Played(const std::string& clip, size_t times)
{
    WaitUntil([&] { return Count(ShimLog(), clip) >= times; }, 5000);
    return Count(ShimLog(), clip) == times;
}

namespace {

// Never a window's command: marks how far the queue has been handled.
const int SENTINEL = 0x5E17;

std::string CardTool()
{
    return std::string(std::getenv("DASHREC_SOURCE_DIR")) + "/host/card/card.sh";
}

// The message box's stand-in: it only keeps the text it is given.
class BoxStub : public vk::MessageHandler {
public:
    explicit BoxStub(std::vector<int>& texts) : MessageHandler(WND::MESSAGE_BOX, 0), _texts(texts) {}
    void OnMessage(ipc_msg_t& msg) override
    {
        if (msg.cmd == WM::SET_MESSAGE)
            _texts.push_back(msg.param1);
    }
    void OnInit(ipc_msg_t&) override {}

private:
    std::vector<int>& _texts;
};

} // namespace

void MenuBus::SetUp()
{
    ASSERT_TRUE(board::LayOutSysfs());
    std::string binary = std::getenv("DASHREC_BINARY_DIR");
    ASSERT_EQ(chdir(binary.c_str()), 0);
    ASSERT_EQ(Shell("mkdir -p /app/kvo && ln -sfn " + binary + "/rsc /app/kvo/rsc"), 0);
    Singleton<vk::SDDebug>::Inst()->Init();
    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    pref->Init();
    pref->SetSdCardRecording();
    pref->SetTempValues();
    Singleton<vk::Sound>::Inst()->Init();
    Singleton<vk::Resource>::Inst()->Init(480, 320, 1);
    Singleton<vk::UITimer>::Inst()->Init(10);
    vk::UIQueue::Inst()->Init();
    dvr = Singleton<vk::CMainDvr>::Inst();
    dvr->RegisterHandler(WND::MESSAGE_BOX, std::make_shared<BoxStub>(boxes));
    dvr->RegisterDVRHandler();
    // The menu tree is entered from the live view.
    dvr->SetMenuId(WND::LIVEVIEW, 1);
}

void MenuBus::InsertCard(int mib, bool layout)
{
    ASSERT_EQ(Shell("rm -f /tmp/sd.img && " + CardTool() + " make /tmp/sd.img " + std::to_string(mib)), 0);
    ASSERT_EQ(Shell(CardTool() + " attach sd /tmp/sd.img"), 0);
    ASSERT_TRUE(board::WriteNode("/sys/sdcard0/detect", "1\n"));
    if (layout) {
        ASSERT_EQ(Shell(std::string(CARDFORM) + " /dev/mmcblk1 wqhd fhd 30 30 sd sd mstar > /tmp/cardform.txt"), 0);
    }
}

void MenuBus::RemoveCard()
{
    ASSERT_EQ(Shell(CardTool() + " detach sd"), 0);
    ASSERT_TRUE(board::WriteNode("/sys/sdcard0/detect", "0\n"));
}

void MenuBus::UseEmmc(bool layout)
{
    ASSERT_EQ(Shell("rm -f /tmp/emmc.img && " + CardTool() + " make /tmp/emmc.img 9000"), 0);
    ASSERT_EQ(Shell(CardTool() + " attach emmc /tmp/emmc.img"), 0);
    if (layout) {
        ASSERT_EQ(Shell(std::string(CARDFORM) + " /dev/mmcblk0p1 wqhd fhd 30 30 emmc sd mstar > /tmp/cardform.txt"), 0);
    }
    Singleton<vk::Pref>::Inst()->SetInternalStorageRecording();
    Singleton<vk::Pref>::Inst()->SetTempStorage(vk::RECORDING::STORAGE::INTERNAL);
}

void MenuBus::Open(WND::ID wnd, int param)
{
    dvr->SetPage(wnd, param);
    ASSERT_TRUE(PumpUntil(Is(wnd, WM::INIT)));
    Settle();
}

void MenuBus::Key(int key)
{
    Post(dvr->CurrentWindow(), WM::BUTTON, key, 0);
    Settle();
}

void MenuBus::Select(vk::STR::ID text)
{
    WND::ID wnd = dvr->CurrentWindow();
    for (int id = 0; id < 20; ++id) {
        obj_common* obj = Object(wnd, id);
        if (obj == nullptr || obj->obj_type != obj_common::BUTTON || !obj->IsShown()
            || static_cast<obj_button*>(obj)->text_id != text)
            continue;
        Post(wnd, WM::BUTTON, PARAM1::TOUCH, (obj->area.x + obj->area.w / 2) << 12 | (obj->area.y + obj->area.h / 2));
        Settle();
        return;
    }
    ADD_FAILURE() << "no button shows text " << text << " in window " << wnd;
}

void MenuBus::Fire(WND::ID wnd, TIMER::ID tid)
{
    Singleton<vk::UITimer>::Inst()->Kill(wnd, tid);
    Post(wnd, WM::TIMER, tid);
    Settle();
}

long long MenuBus::Remaining(WND::ID wnd, TIMER::ID tid)
{
    return Singleton<vk::UITimer>::Inst()->Remaining(wnd, tid);
}

void MenuBus::Dispatch(ipc_msg_t& msg)
{
    if (msg.cmd == SENTINEL)
        return;
    if (msg.cmd == WM::CHANGE_PAGE) {
        int target = msg.param1;
        if (target == WND::PREVIOUS_MENU)
            target = dvr->GetMenuDepth() >= 2 ? dvr->GetMenuId(-2) : int(WND::LIVEVIEW);
        pages.emplace_back(target, msg.param2);
        if (target != WND::LIVEVIEW && target != WND::MESSAGE_BOX)
            dvr->SetPage(WND::ID(msg.param1), msg.param2);
        return;
    }
    // What only the run mode acts on (shutdown, its own timers) is kept, not acted on.
    if (msg.wnd != WND::CMAIN_DVR)
        dvr->OnDefault(msg);
}

void MenuBus::Settle()
{
    // Done when a sentinel comes back with nothing handled before it.
    for (;;) {
        size_t before = seen.size();
        Post(WND::INVALID, SENTINEL);
        ASSERT_TRUE(PumpUntil(Is(WND::INVALID, SENTINEL)));
        if (seen.size() == before + 1)
            return;
    }
}

} // namespace menutest
