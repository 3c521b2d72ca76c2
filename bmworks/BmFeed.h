#pragma once
// Feeding the appsrc elements of a recording pipeline from the pre-record
// buffers: need-data starts an idle source on the engine loop that pushes
// one item per turn, enough-data ends it.

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

// The appsrc callbacks; param is the type's BmMux::SignalCallbackParam.
void StartFeedVideo(GstAppSrc* appsrc, guint length, gpointer param);
void StopFeedVideo(GstAppSrc* appsrc, gpointer param);
void StartFeedAudio(GstAppSrc* appsrc, guint length, gpointer param);
void StopFeedAudio(GstAppSrc* appsrc, gpointer param);
void StartFeedSubtitle(GstAppSrc* appsrc, guint length, gpointer param);
void StopFeedSubtitle(GstAppSrc* appsrc, gpointer param);

// Hands a track's appsrc its callbacks (with param) and caps.
void ConnectFeedVideo(GstElement* appsrc, gpointer param, const char* caps);
void ConnectFeedAudio(GstElement* appsrc, gpointer param, const char* caps);
void ConnectFeedSubtitle(GstElement* appsrc, gpointer param, const char* caps);

// Lets the subtitle track's GAP events count at the splitmuxsink muxbin.
void PassSubtitleGaps(GstElement* muxbin);

// On a streaming thread, before it looks at a buffer the feed pushed.
void TakePushed();

// A condition the engine cannot run without: logs the text and ends the program.
void BmAssert(bool ok, const char* text);
