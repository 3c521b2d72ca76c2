// libFuzzer target: any text handed to the screen scanner is scanned inside
// its bounds, yields names and values within their limits, and builds objects.

#include "dashrec/ui/ScreenScanner.h"
#include "dashrec/ui/UIObjectBuild.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

SDL_Surface gImage;

ImgData* AnyImage(const char*)
{
    return &gImage;
}

void CheckLimits(const std::vector<vk::ScannedAttr>& attrs, size_t nameMax, size_t valueMax)
{
    for (const vk::ScannedAttr& attr : attrs)
        if (attr.name.size() > nameMax || attr.value.size() > valueMax)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A buffer of exactly the input's size, so that a read past its end is caught.
    std::vector<char> text(data, data + size);
    for (const vk::ScannedState& state : vk::ScanScreens(text.data(), text.size())) {
        CheckLimits(state.attrs, vk::STATE_ATTR_NAME_MAX, vk::STATE_ATTR_VALUE_MAX);
        delete ui_make_state(state, AnyImage);
        for (const vk::ScannedElement& element : state.elements) {
            CheckLimits(element.attrs, vk::ELEMENT_ATTR_NAME_MAX, vk::ELEMENT_ATTR_VALUE_MAX);
            obj_common* obj = ui_make_object(element, AnyImage);
            if (obj == nullptr)
                std::abort();
            delete obj;
        }
    }
    return 0;
}
