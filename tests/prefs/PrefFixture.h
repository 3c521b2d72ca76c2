#pragma once
// Preferences over a blank 24LC16 (no pause after page writes, so saves are quick).

#include "ChipFiles.h"

#include "dashrec/core/Pref.h"

#include <gtest/gtest.h>

class PrefTest : public testing::Test {
protected:
    static constexpr const char* EEPROM = "24lc16";

    void SetUp() override
    {
        chips::UseBoard("/dev/i2c-2 24lc16\n/dev/i2c-2 isl1208\n");
        Init();
    }

    // A fresh start: probe, load, with the log captured.
    std::string Init()
    {
        testing::internal::CaptureStdout();
        pref->Init();
        return testing::internal::GetCapturedStdout();
    }

    std::vector<unsigned char> Eeprom() const { return chips::Bytes(EEPROM); }

    vk::Pref* pref = vk::Singleton<vk::Pref>::Inst();
};
