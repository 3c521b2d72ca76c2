// The display's rotation buffers: layout of the display memory, the quarter
// turn of an NV21 frame, and the alternating pictures.

#include "bmworks/BmDma.h"
#include "bmworks/BmDsmBuffer.h"
#include "bmworks/BmSplice.h"

#include <cstring>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Nv21 {
    int w;
    int h;
    std::vector<uint8_t> pixels;
    Nv21(int width, int height) : w(width), h(height), pixels(static_cast<size_t>(width) * height * 3 / 2) {}
    uint8_t* Y() { return pixels.data(); }
    uint8_t* VU() { return pixels.data() + static_cast<size_t>(w) * h; }
};

uintptr_t Addr(const void* p)
{
    return reinterpret_cast<uintptr_t>(p);
}

TEST(Dma, Blit90TurnsAQuarterClockwiseIntoAlternatingPictures)
{
    const int w = 32;
    const int h = 16;
    Nv21 src(w, h);
    for (int r = 0; r < h; r++) {
        for (int c = 0; c < w; c++)
            src.Y()[r * w + c] = static_cast<uint8_t>(r * 16 + c / 2);
    }
    for (int r = 0; r < h / 2; r++) {
        for (int c = 0; c < w / 2; c++) {
            src.VU()[r * w + 2 * c] = static_cast<uint8_t>(100 + r);     // V
            src.VU()[r * w + 2 * c + 1] = static_cast<uint8_t>(200 + c); // U
        }
    }
    BmDma dma;
    dma.Init(w, h, BmDma::PF_YUV420);
    ASSERT_TRUE(dma.IsInited());
    uintptr_t first = dma.GetVirAddr(0);
    EXPECT_EQ(dma.GetPhyAddr(1) - dma.GetPhyAddr(0), static_cast<uintptr_t>(w * h));
    dma.Blit90(Addr(src.Y()), Addr(src.VU()));
    EXPECT_EQ(dma.GetVirAddr(0), first + w * h * 3 / 2) << "the next picture";

    // Turned: h wide, w high; source column c, row r at column h - 1 - r, row c.
    const auto* y = reinterpret_cast<const uint8_t*>(first);
    const uint8_t* vu = y + w * h;
    for (int r = 0; r < h; r++) {
        for (int c = 0; c < w; c++)
            ASSERT_EQ(y[c * h + (h - 1 - r)], src.Y()[r * w + c]) << r << "," << c;
    }
    for (int r = 0; r < h / 2; r++) {
        for (int c = 0; c < w / 2; c++) {
            const uint8_t* pair = vu + c * h + 2 * (h / 2 - 1 - r);
            ASSERT_EQ(pair[0], 100 + r);
            ASSERT_EQ(pair[1], 200 + c);
        }
    }
    dma.Blit90(Addr(src.Y()), Addr(src.VU()));
    EXPECT_EQ(dma.GetVirAddr(0), first);
    dma.Uninit();
    EXPECT_FALSE(dma.IsInited());
}

TEST(Dma, EachInitTakesTheNextBlockAndAFailedBlitStillFlips)
{
    int index = BmDma::mDispMemCount;
    BmDma a;
    BmDma b;
    a.Init(960, 544, BmDma::PF_YUV420);
    b.Init(640, 360, BmDma::PF_ARGB);
    EXPECT_EQ(BmDma::mDispMemCount, index + 2);
    EXPECT_EQ(b.GetPhyAddr(1), 0u);
    uintptr_t current = a.GetPhyAddr(0);
    testing::internal::CaptureStdout();
    a.Blit90(0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "BmDma::Blit()...G2D_CMD_BITBLT failed!\n");
    EXPECT_NE(a.GetPhyAddr(0), current);
    a.Uninit();
    b.Uninit();
    testing::internal::CaptureStdout();
    a.Blit90(0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "BmDma::Blit()...G2D_CMD_BITBLT failed!\n")
        << "no write into a released block";
}

Nv21 Filled(int w, int h, uint8_t luma, uint8_t chroma)
{
    Nv21 f(w, h);
    std::memset(f.Y(), luma, static_cast<size_t>(w) * h);
    std::memset(f.VU(), chroma, static_cast<size_t>(w) * h / 2);
    return f;
}

// Front on top, rear below: both Y planes, then both UV planes.
TEST(Splice, CamerasFillTheirHalvesOfOnePicture)
{
    const int w = 32;
    const int h = 16;
    BmSplice* splice = BmSplice::Inst();
    splice->Init(w, h);
    ASSERT_TRUE(splice->IsInited());
    Nv21 front = Filled(w, h, 10, 20);
    Nv21 rear = Filled(w, h, 30, 40);
    EXPECT_TRUE(splice->CopyFront(Addr(front.Y()), Addr(front.VU())));
    EXPECT_TRUE(splice->CopyRear(Addr(rear.Y()), Addr(rear.VU())));
    const auto* y = reinterpret_cast<const uint8_t*>(splice->GetVirAddr(0));
    const auto* uv = reinterpret_cast<const uint8_t*>(splice->GetVirAddr(1));
    EXPECT_EQ(uv, y + 2 * w * h);
    EXPECT_EQ(y[0], 10);
    EXPECT_EQ(y[w * h - 1], 10);
    EXPECT_EQ(y[w * h], 30);
    EXPECT_EQ(uv[0], 20);
    EXPECT_EQ(uv[w * h / 2], 40);
    EXPECT_TRUE(splice->IsReady(0));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(splice->CopyFront(0, 0));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "BmSplice::CopyFront()...G2D_CMD_BITBLT failed!\n");
    splice->Release(0);
}

TEST(Dsm, BufferKeepsACopyOfTheFrame)
{
    BmDsmBuffer dsm;
    dsm.Init(64, 32);
    ASSERT_TRUE(dsm.IsInited());
    Nv21 frame = Filled(64, 32, 77, 99);
    dsm.Blit(Addr(frame.Y()), Addr(frame.VU()));
    EXPECT_EQ(std::memcmp(dsm.GetPtr(), frame.pixels.data(), frame.pixels.size()), 0);
    dsm.Uninit();
    EXPECT_EQ(dsm.GetPtr(), nullptr);
    testing::internal::CaptureStdout();
    dsm.Blit(Addr(frame.Y()), Addr(frame.VU()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "BmDsmBuffer::Blit()...G2D_CMD_BITBLT failed!\n");
}

} // namespace
