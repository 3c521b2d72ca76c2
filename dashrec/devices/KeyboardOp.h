#pragma once
// The developer console on the board's serial console (standard input): single
// keys post simulated keys, touches, ACC, GPS and recording events, send MCU
// commands or take a screenshot; Enter opens a line mode that runs shell commands.

#include "dashrec/core/Singleton.h"

#include <atomic>
#include <cstddef>
#include <thread>

namespace vk {

class KeyboardOp : public Singleton<KeyboardOp> {
public:
    static constexpr size_t LINE_SIZE = 512;

    void Init();
    void Start();
    void Finalize();

private:
    void Run();
    // Returns false when the console must stop.
    bool OnKey(int key);
    void OnLineByte(int byte);
    void RunLine();
    void SaveScreenshot();
    void CopyScreenshots();

    std::atomic<bool> _running { false };
    std::thread _t;
    bool _lineMode = false;
    char _line[LINE_SIZE] = {};
    size_t _length = 0;
};

} // namespace vk

// The lower-level reader of the console's terminal.
struct kbd_handle_t;
kbd_handle_t* kbd_init();
int kbd_read(kbd_handle_t* handle, char* buf);
void kbd_release(kbd_handle_t* handle);
