#pragma once
// The service and production run modes that marker files select. Those not
// built yet say so in the log and end at once, so the device powers down as
// after a finished test.

#include "dashrec/core/Singleton.h"
#include "dashrec/modes/CMainDeveloper.h"
#include "dashrec/modes/CMainFactory.h"
#include "dashrec/modes/CMainFinish.h"
#include "dashrec/modes/CMainVoltage.h"
#include "dashrec/modes/CMainWiFi.h"

namespace vk {

class CUnbuiltMode : public CMainHandler {
public:
    explicit CUnbuiltMode(const char* name) : _name(name) {}

    void Initialize(bool) override;
    void Start() override;
    void Finalize() override {}

private:
    const char* _name;
};

class CMainSDRecord : public Singleton<CMainSDRecord>, public CUnbuiltMode {
public:
    CMainSDRecord() : CUnbuiltMode("sd record") {}
};

} // namespace vk
