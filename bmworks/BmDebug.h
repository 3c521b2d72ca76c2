#pragma once
// The engine's GStreamer debug category, "BmWorksDebug".

#include <gst/gst.h>

GST_DEBUG_CATEGORY_EXTERN(bmworks_debug);
