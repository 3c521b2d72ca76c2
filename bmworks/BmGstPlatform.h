#pragma once
// What the platform adds to GStreamer for the engine: called once, right
// after gst_init. On the board the device's own GStreamer build already
// carries the file sink and actions the recorders rely on.

void BmGstPlatformInit();
