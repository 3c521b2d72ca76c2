// The FAT attribute interface on the host: the byte the mount shim laid out.

#include "dashrec/core/FatAttributes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

namespace Fat = vk::FatAttributes;

TEST(FatAttributes, HiddenBitIsReadAndCleared)
{
    int fd = open("/tmp/N_file.mp4", O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    uint32_t attributes = 0;
    ASSERT_EQ(Fat::Get(fd, attributes), 0);
    EXPECT_EQ(attributes, Fat::ARCHIVE) << "a file new on the volume";

    ASSERT_EQ(fsetxattr(fd, "user.fat.attributes", "34", 2, 0), 0);
    ASSERT_EQ(Fat::Get(fd, attributes), 0);
    EXPECT_EQ(attributes, Fat::HIDDEN | Fat::ARCHIVE);
    ASSERT_EQ(Fat::Set(fd, attributes & ~Fat::HIDDEN), 0);
    char text[8] = {};
    EXPECT_EQ(fgetxattr(fd, "user.fat.attributes", text, sizeof(text)), 2);
    EXPECT_STREQ(text, "32");
    close(fd);
    EXPECT_EQ(Fat::Get(-1, attributes), -1);
}

} // namespace
