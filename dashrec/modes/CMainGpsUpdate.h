#pragma once
// A bench run mode that rewrites the GPS module's firmware over its serial
// line; the update runs on a thread of its own. No marker selects it.

#include "dashrec/core/Singleton.h"

namespace vk {

class CMainGpsUpdate : public Singleton<CMainGpsUpdate>, public CMainHandler {
public:
    void Initialize(bool) override;
    void Start() override;
    void Finalize() override {}
};

} // namespace vk
