#pragma once
// Feeding the appsrc elements of a recording pipeline from the pre-record
// buffers: "need-data" adds an idle source on the engine loop that pushes
// one item per turn, "enough-data" removes it.

#include <gst/gst.h>

void StartFeedVideo(GstElement* appsrc, guint length, gpointer param);
void StopFeedVideo(GstElement* appsrc, gpointer param);
void StartFeedAudio(GstElement* appsrc, guint length, gpointer param);
void StopFeedAudio(GstElement* appsrc, gpointer param);
void StartFeedSubtitle(GstElement* appsrc, guint length, gpointer param);
void StopFeedSubtitle(GstElement* appsrc, gpointer param);

// A condition the engine cannot run without: logs the text and ends the program.
void BmAssert(bool ok, const char* text);
