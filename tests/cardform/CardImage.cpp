#include "tests/cardform/CardImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

CardImage::CardImage(uint64_t sectors)
{
    const char* base = getenv("DASHREC_BINARY_DIR");
    std::string pattern = std::string(base != nullptr ? base : ::testing::TempDir().c_str()) + "/card.XXXXXX";
    EXPECT_NE(mkdtemp(pattern.data()), nullptr);
    _folder = pattern;
    _path = _folder + "/card.img";
    const int fd = open(_path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, static_cast<off_t>(sectors * 512)), 0);
    close(fd);
}

CardImage::~CardImage()
{
    unlink(_path.c_str());
    rmdir(_folder.c_str());
}

std::vector<uint8_t> CardImage::Read(uint64_t offset, size_t bytes) const
{
    std::vector<uint8_t> data(bytes);
    const int fd = open(_path.c_str(), O_RDONLY);
    EXPECT_EQ(pread(fd, data.data(), bytes, static_cast<off_t>(offset)), static_cast<ssize_t>(bytes));
    close(fd);
    return data;
}

void CardImage::Write(uint64_t offset, const std::vector<uint8_t>& bytes) const
{
    const int fd = open(_path.c_str(), O_RDWR);
    EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
}

uint32_t CardImage::ReadLe32(uint64_t offset) const
{
    const std::vector<uint8_t> b = Read(offset, 4);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

void CardImage::WriteLe32(uint64_t offset, uint32_t value) const
{
    Write(offset, {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                   static_cast<uint8_t>(value >> 24)});
}
