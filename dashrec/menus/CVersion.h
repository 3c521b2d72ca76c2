#pragma once
// The information page: model and versions, storage, the recording and
// parking settings in short, and the speed-camera database. Three touches
// with a card in start the check-and-format of the card.

#include "dashrec/menus/SettingsWindow.h"

#include <string>

namespace vk {

// "MODEL (v1.1.4-7K)": the model, the firmware and the MCU's version.
std::string ModelVersion();

class CVersion : public SettingsWindow {
public:
    static const int STR_SIZE = 128;
    static const int LINES = 6;
    static const int ID_LABEL = 1000;
    static const int FORMAT_TOUCHES = 3;

    explicit CVersion(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;
    const char* Line(int line) const { return _label[line]; }

private:
    void FillLines();
    void SetLine(int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void StorageLine();
    void ResolutionLine();
    void ImageLine();
    void ParkingLine();

    char _label[LINES][STR_SIZE] = {};
    int _powerkey_count = 0;
};

} // namespace vk
