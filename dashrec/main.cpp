// dashrec: the device program of the two-channel dashboard camera.

#include "dashrec/core/CMain.h"
#include "dashrec/core/CrashLog.h"
#include "dashrec/core/ProcessEnd.h"
#include "dashrec/core/Shell.h"
#include "dashrec/devices/Micom.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int WriteFirmwareVersion()
{
    char cmd[64];
    VK_FORMAT_COMMAND(cmd, "echo %s%s > %s", DASHREC_VERSION, DASHREC_VERSION_SUFFIX, "/tmp/fversion");
    std::system(cmd);
    std::printf("+++++++++++++++++++++++++++++++++++++\n");
    std::printf("++ factory settings:%s ++\n", cmd);
    std::printf("+++++++++++++++++++++++++++++++++++++\n");
    std::system("sync");
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    installSignal(SIGSEGV);
    if (argc == 2 && std::strcmp(argv[1], "f") == 0)
        return WriteFirmwareVersion();

    vk::Micom* micom = vk::Singleton<vk::Micom>::Inst();
    micom->Init();
    micom->Lock();
    vk::Singleton<vk::CMain>::Inst()->Start();
    micom->Unlock();
    vk::EndProcess(0);
}
