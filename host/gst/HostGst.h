#pragma once
// The host's replacements of stock GStreamer elements, for this process only.

#include <gst/gst.h>

// Registers type under the stock element name. The stock plugin is loaded
// first: loaded later, it would register its own element over this one.
void HostGstReplace(const char* plugin, const char* name, GType type);

void RegisterFileSink();
void RegisterToneSource();
