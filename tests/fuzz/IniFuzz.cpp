// libFuzzer target: any text as the INI files the program reads: the screens'
// texts (resources), the voltage calibration's and the production test's
// parameter files. Every value taken is one its setting can use.

#include "InputFile.h"

#include "dashrec/modes/CMainVoltage.h"
#include "dashrec/modes/ProductionTest.h"
#include "dashrec/ui/Resource.h"

#include <INIReader.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz::WriteInputFile(data, size);
    INIReader reader(path);

    vk::CMainVoltage::Settings voltage;
    voltage.Load(reader);
    if (voltage.waiting < 0 || voltage.waiting > INT_MAX / 1000)
        std::abort();

    vk::ProductionTest::Settings production;
    production.Load(reader);

    vk::Resource* resource = vk::Singleton<vk::Resource>::Inst();
    resource->LoadStrings(path);
    return 0;
}
