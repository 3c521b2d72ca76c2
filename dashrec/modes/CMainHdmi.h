#pragma once
// A bench run mode for the HDMI output: the front camera alone on the display,
// the MCU kept from cutting power, and a heartbeat line. No marker selects it.

#include "dashrec/core/Singleton.h"

namespace vk {

class CMainHdmi : public Singleton<CMainHdmi>, public CMainHandler {
public:
    void Initialize(bool) override;
    void Start() override;
    void Finalize() override {}
};

} // namespace vk
