#include "host/soc/VencReplay.h"

#include "host/soc/RoadScene.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <unistd.h>

namespace soc {
namespace {

const char kMagic[] = "SOCREPLAY1\n";
// Where in the scene the loop is taken: with the vehicle ahead in view.
constexpr double kLoopSceneStartSec = 10.0;

std::string LoopName(const EncoderSettings& s, const std::string& label)
{
    char name[160];
    std::snprintf(name, sizeof(name), "%s-%dx%d-%dfps-%dbps-gop%d-qp%d-%d-%s.units", s.h265 ? "h265" : "h264",
                  s.width, s.height, s.fps, s.bitrate, s.gop, s.minQp, s.maxQp, label.c_str());
    return name;
}

template <typename T>
void Put(std::ostream& os, T value)
{
    os.write(reinterpret_cast<const char*>(&value), sizeof(value));
}

template <typename T>
bool Take(std::istream& is, T& value)
{
    return static_cast<bool>(is.read(reinterpret_cast<char*>(&value), sizeof(value)));
}

bool TakeBytes(std::istream& is, std::vector<uint8_t>& bytes)
{
    uint32_t size = 0;
    if (!Take(is, size) || size > (64u << 20))
        return false;
    bytes.resize(size);
    return static_cast<bool>(is.read(reinterpret_cast<char*>(bytes.data()), size));
}

std::shared_ptr<ReplayLoop> Load(const std::string& path)
{
    std::ifstream is(path, std::ios::binary);
    char magic[sizeof(kMagic) - 1];
    if (!is.read(magic, sizeof(magic)) || std::string(magic, sizeof(magic)) != kMagic)
        return nullptr;
    auto loop = std::make_shared<ReplayLoop>();
    uint32_t count = 0;
    if (!TakeBytes(is, loop->header) || !Take(is, count))
        return nullptr;
    for (uint32_t i = 0; i < count; i++) {
        uint8_t key = 0;
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        if (!Take(is, key) || !TakeBytes(is, *bytes))
            return nullptr;
        loop->units.push_back(EncodedUnit{bytes, 0, key != 0});
    }
    return loop->units.empty() || !loop->units.front().key ? nullptr : loop;
}

void Store(const std::string& path, const ReplayLoop& loop)
{
    // Of this process alone: several test programs may make the same loop at once.
    std::string temp = path + "." + std::to_string(getpid()) + ".part";
    {
        std::ofstream os(temp, std::ios::binary | std::ios::trunc);
        os.write(kMagic, sizeof(kMagic) - 1);
        Put(os, static_cast<uint32_t>(loop.header.size()));
        os.write(reinterpret_cast<const char*>(loop.header.data()), loop.header.size());
        Put(os, static_cast<uint32_t>(loop.units.size()));
        for (const EncodedUnit& u : loop.units) {
            Put(os, static_cast<uint8_t>(u.key));
            Put(os, static_cast<uint32_t>(u.bytes->size()));
            os.write(reinterpret_cast<const char*>(u.bytes->data()), u.bytes->size());
        }
        if (!os)
            return;
    }
    std::rename(temp.c_str(), path.c_str());
}

std::shared_ptr<ReplayLoop> Encode(const EncoderSettings& settings, const std::string& label)
{
    // A loop is prepared beside a running program: two threads leave it room.
    EncoderSettings s = settings;
    s.threads = 2;
    VencCodec codec;
    if (!codec.Open(s))
        return nullptr;
    size_t lumaSize = static_cast<size_t>(s.width) * s.height;
    std::vector<uint8_t> picture(lumaSize * 3 / 2);
    std::vector<EncodedUnit> units;
    for (int i = 0; i < 3 * s.gop; i++) {
        SceneShot shot;
        shot.timeSec = kLoopSceneStartSec + static_cast<double>(i) / s.fps;
        shot.frameNumber = static_cast<uint32_t>(i);
        shot.label = label;
        RenderRoadScene(picture.data(), picture.data() + lumaSize, s.width, s.height, shot);
        if (!codec.Encode(picture.data(), picture.data() + lumaSize, s.width, s.height, s.width, 0, units))
            return nullptr;
    }
    if (units.size() < static_cast<size_t>(3 * s.gop) || !units[s.gop].key)
        return nullptr;
    auto loop = std::make_shared<ReplayLoop>();
    loop->header = codec.Header();
    loop->units.assign(units.begin() + s.gop, units.end());
    return loop;
}

} // namespace

std::shared_ptr<const ReplayLoop> ReplayLoopFor(const EncoderSettings& settings, const std::string& label)
{
    // One entry per loop, each with its own lock, so that two cameras
    // prepare their loops at the same time.
    struct Entry {
        std::mutex mutex;
        std::shared_ptr<const ReplayLoop> loop;
    };
    struct Entries {
        std::mutex mutex;
        std::map<std::string, std::shared_ptr<Entry>> byName;
    };
    static Entries* entries = new Entries; // never destroyed: encoder threads may outlive static teardown
    std::string name = LoopName(settings, label);
    std::shared_ptr<Entry> entry;
    {
        std::lock_guard<std::mutex> lock(entries->mutex);
        auto& slot = entries->byName[name];
        if (!slot)
            slot = std::make_shared<Entry>();
        entry = slot;
    }
    std::lock_guard<std::mutex> lock(entry->mutex);
    if (entry->loop)
        return entry->loop;
    const char* dir = std::getenv("DASHREC_SOC_REPLAY_DIR");
    std::string path = dir && *dir ? std::string(dir) + "/" + name : "";
    std::shared_ptr<ReplayLoop> loop = path.empty() ? nullptr : Load(path);
    if (!loop) {
        loop = Encode(settings, label);
        if (loop && !path.empty())
            Store(path, *loop);
    }
    entry->loop = loop;
    return entry->loop;
}

} // namespace soc
