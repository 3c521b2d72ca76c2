#pragma once
// The image sensor's shutter and exposure registers as its driver shows them
// in sysfs; for bench work.

namespace vk {

class Imx335Debug {
public:
    // The register's value, or -1 when the node cannot be read.
    int GetShr0();
    int GetShr1();
    int GetExp();

private:
    int ReadNode(const char* path);
};

} // namespace vk
