// The host's synthetic cameras as the engine uses them: frames at the set
// size and rate, mirror applied, the front sensor upside down until turned.

#include "mpp_comm/mpp_comm_sys.h"
#include "mpp_comm/mpp_comm_vi.h"

#include <gtest/gtest.h>

namespace {

struct Shot {
    uint8_t topLeft;  // inside the caption box when the picture is upright
    uint8_t topRight; // sky
    uint8_t bottom;   // road
};

// Opens device dev as the 640 × 360 set, takes two frames and looks at the first.
Shot Look(int dev, bool mirror, bool flip, uint64_t* intervalUsec)
{
    EXPECT_EQ(mpp_comm_sys_init(), 0);
    socVI_ATTR_S attr;
    mpp_comm_vi_get_attr(VI_640x360, &attr);
    int ret = mirror && flip ? mpp_comm_vi_dev_create_rotate_180(dev, &attr)
              : mirror       ? mpp_comm_vi_dev_create_mirror(dev, &attr)
              : flip         ? mpp_comm_vi_dev_create_flip(dev, &attr)
                             : mpp_comm_vi_dev_create(dev, &attr);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(mpp_comm_vi_chn_create(dev, 1), 0);
    EXPECT_EQ(SOC_MPI_VI_EnableVirChn(dev, 1), 0);
    VIDEO_FRAME_INFO_S first, second;
    Shot shot{};
    if (SOC_MPI_VI_GetFrame(dev, 1, &first, 1000) == 0 && SOC_MPI_VI_GetFrame(dev, 1, &second, 1000) == 0) {
        EXPECT_EQ(first.VFrame.mWidth, 640u);
        EXPECT_EQ(first.VFrame.mHeight, 360u);
        EXPECT_EQ(first.VFrame.mField, VIDEO_FIELD_FRAME);
        const auto* y = static_cast<const uint8_t*>(first.VFrame.mpVirAddr[0]);
        shot = Shot{y[7 * 640 + 7], y[7 * 640 + 600], y[350 * 640 + 320]};
        *intervalUsec = second.VFrame.mpts - first.VFrame.mpts;
        EXPECT_EQ(SOC_MPI_VI_ReleaseFrame(dev, 1, &first), 0);
        EXPECT_EQ(SOC_MPI_VI_ReleaseFrame(dev, 1, &second), 0);
        EXPECT_NE(SOC_MPI_VI_ReleaseFrame(dev, 1, &second), 0) << "released twice";
    } else {
        ADD_FAILURE() << "no frame from device " << dev;
    }
    EXPECT_EQ(mpp_comm_vi_chn_destroy(dev, 1), 0);
    EXPECT_EQ(mpp_comm_vi_dev_destroy(dev), 0);
    return shot;
}

TEST(SyntheticCamera, MirrorAndFlipAsTheSensorIsMounted)
{
    const struct {
        int dev;
        bool mirror;
        bool flip;
        bool captionLeft;
        bool skyTop;
    } cases[] = {
        {3, false, false, true, true},  // rear: upright
        {3, true, false, false, true},  // rear mirrored for the small view
        {1, true, true, true, true},    // front turned by 180°: upright
        {1, false, false, false, false}, // front as mounted: upside down
        {1, false, true, false, true},  // front flipped only: mirrored
    };
    for (const auto& c : cases) {
        uint64_t interval = 0;
        Shot shot = Look(c.dev, c.mirror, c.flip, &interval);
        // Paced by the camera's rate: never faster; a loaded machine may drop a frame.
        EXPECT_GE(static_cast<double>(interval), 33333 - 10000) << c.dev;
        uint8_t caption = c.captionLeft ? shot.topLeft : shot.topRight;
        if (c.skyTop) {
            EXPECT_LT(caption, 40) << c.dev << c.mirror << c.flip;
            EXPECT_GT(c.captionLeft ? shot.topRight : shot.topLeft, 150) << c.dev << c.mirror << c.flip;
            EXPECT_LT(shot.bottom, 130) << c.dev << c.mirror << c.flip;
        } else {
            EXPECT_LT(shot.topLeft, 130) << "road on top";
            EXPECT_LT(shot.topRight, 130) << "road on top";
        }
    }
}

TEST(SyntheticCamera, RefusesWhatWasNotMade)
{
    ASSERT_EQ(mpp_comm_sys_init(), 0);
    VIDEO_FRAME_INFO_S frame;
    EXPECT_NE(SOC_MPI_VI_GetFrame(7, 0, &frame, 1), 0);
    EXPECT_NE(SOC_MPI_VI_EnableVirChn(7, 0), 0);
    EXPECT_EQ(mpp_comm_vi_chn_create(7, 0), -1) << "no device";
    socVI_ATTR_S attr;
    mpp_comm_vi_get_attr(VI_640x360, &attr);
    EXPECT_EQ(mpp_comm_vi_dev_create(7, &attr), 0);
    EXPECT_EQ(mpp_comm_vi_dev_create(7, &attr), -1) << "exists";
    EXPECT_EQ(mpp_comm_vi_dev_destroy(7), 0);
}

} // namespace
