#include "bmworks/BmDmaDevice.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

int gDmaOpen(const char* path)
{
    return open(path, O_RDWR);
}

long gDmaRequest(int fd, unsigned long request, void* arg)
{
    return ioctl(fd, request, arg);
}

void* gDmaMap(int fd, size_t size, uintptr_t phyAddr)
{
    void* addr = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(phyAddr));
    return addr == MAP_FAILED ? nullptr : addr;
}

int gDmaUnmap(void* addr, size_t size)
{
    return munmap(addr, size);
}
