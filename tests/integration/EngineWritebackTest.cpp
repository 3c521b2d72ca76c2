// A real recording made by the engine into a pre-allocated file of the
// mounted card, as the recorder makes one, is in the card image byte for
// byte once the card is unmounted: mtools copies out the very file the
// engine wrote, a playable recording, and the card stays sound.

#include "RecordRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

const std::string kImage = "/tmp/sd.img";

// A helper of lib.sh in this sandbox; its output, or "FAILED" and its reason.
std::string Lib(const std::string& call)
{
    std::string source = std::getenv("DASHREC_SOURCE_DIR");
    return Shell("bash -c 'set -e; source " + source + "/tests/integration/lib.sh; " + call + "' 2>&1 || echo FAILED");
}

TEST(EngineWriteback, ARecordingOnTheMountedCardIsInTheImageByteForByte)
{
    BmWorks* works = RecordingEngine(4, 1);
    std::string build = std::getenv("DASHREC_BINARY_DIR");
    std::string inserted = Lib("insert_card " + build + " " + kImage);
    ASSERT_EQ(inserted.find("FAILED"), std::string::npos) << inserted;
    std::string path = Lib("take_free_file EVENT EVEN EVEN261210-120000F.MP4");
    ASSERT_EQ(path, "/mnt/extsd/EVENT/EVEN261210-120000F.MP4\n");
    path.pop_back();

    Files::NameOverride(path);
    works->RunRecord(Front, Event);
    ASSERT_TRUE(WaitFor([works] { return works->IsRunRecord(Event); }, 10000));
    ASSERT_TRUE(WaitFor([works] { return !works->IsRunRecord(Event); }, 60000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Files::NameOverride("");
    EXPECT_TRUE(Files::Errors().empty());

    Shell("cp --sparse=always " + path + " /tmp/written.MP4 && umount /mnt/extsd && " + std::getenv("DASHREC_SOURCE_DIR")
          + "/host/card/card.sh detach sd");
    Shell("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + kImage + "@@1M ::/EVENT/EVEN261210-120000F.MP4 /tmp/copied.MP4");
    EXPECT_EQ(Shell("cmp /tmp/written.MP4 /tmp/copied.MP4 && echo same"), "same\n");
    EXPECT_EQ(Probe("/tmp/copied.MP4", "-select_streams v:0 -show_entries stream=codec_name,width,height"),
              "hevc\n1280\n720\n");
    EXPECT_NEAR(DurationSec("/tmp/copied.MP4", "v:0"), 4, 1.0);
    EXPECT_NE(SubtitleText("/tmp/copied.MP4").find("EXTD"), std::string::npos);
    std::string checked = Lib("check_card " + build + " " + kImage);
    EXPECT_EQ(checked.find("FAILED"), std::string::npos) << checked;
}

} // namespace
