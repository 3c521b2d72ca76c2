#pragma once
// The scanner of the screen description. The file looks like XML but follows
// a few fixed rules (see ScanScreens); it is no XML parser. Scanning only
// collects names and values, so a damaged file never builds half an object.

#include <cstddef>
#include <string>
#include <vector>

namespace vk {

struct ScannedAttr {
    std::string name;
    std::string value;
};

struct ScannedElement {
    std::string name; // "rect", "text", "button", "list" or "image"
    std::vector<ScannedAttr> attrs;
};

struct ScannedState {
    std::vector<ScannedAttr> attrs;
    std::vector<ScannedElement> elements;
};

// Length limits of names and values; longer ones are cut to these.
constexpr size_t STATE_ATTR_NAME_MAX = 14;
constexpr size_t STATE_ATTR_VALUE_MAX = 99;
constexpr size_t ELEMENT_NAME_MAX = 31;
constexpr size_t ELEMENT_ATTR_NAME_MAX = 31;
constexpr size_t ELEMENT_ATTR_VALUE_MAX = 255;

// Every complete state of the text, in file order. A state that runs to the
// end of the text is dropped and ends the scan; elements of other names and
// comments are skipped. Never reads outside [text, text + size).
std::vector<ScannedState> ScanScreens(const char* text, size_t size);

} // namespace vk
