#pragma once
// One camera's live stream for the phone: an RTSP server on the camera's
// service that streams the live-stream encoder's H.264 units from the
// camera's live-stream buffer. Every client session gets a pipeline of its
// own that starts at a key unit (parameter sets first) with time stamps from 0.
// Started and stopped on the engine thread, whose main loop runs the server.

#include "bmworks/BmTypes.h"

#include <gst/rtsp-server/rtsp-server.h>

class BmVideo;

struct BmRtspMount {
    const char* service;
    const char* path;
};

// Where each camera's live stream is served; the phone is told the same.
inline constexpr BmRtspMount RTSP_MOUNTS[MaxCam] = {
    {"8586", "/live_front"},
    {"8587", "/live_rear"},
};

class BmRtsp {
public:
    explicit BmRtsp(BmVideo& video) : mVideo(video) {}
    ~BmRtsp();
    BmRtsp(const BmRtsp&) = delete;
    BmRtsp& operator=(const BmRtsp&) = delete;

    // True when the server is attached; a second start while serving changes nothing.
    bool StartRtspLive();
    // Stops the encoder feed and the server, and ends the sessions of clients still connected.
    void StopRtspLive();

private:
    struct Session;

    static void gMediaConfigure(GstRTSPMediaFactory* factory, GstRTSPMedia* media, gpointer self);
    static void gReadDataVideoRtps(GstElement* appsrc, guint length, gpointer session);
    bool ReadUnit(Session& session, GstPad* pad, Nal& unit);
    const BmRtspMount& Mount() const;

    BmVideo& mVideo;
    GstRTSPServer* mRtspServer = nullptr;
    GstRTSPMediaFactory* mRtspFactory = nullptr;
    guint mRtspServerId = 0;
};
