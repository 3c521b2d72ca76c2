#include "bmworks/BmWav.h"

#include <cstdio>

namespace {

gboolean gWavPlay(gpointer data)
{
    static_cast<BmWav*>(data)->WavPlay();
    return G_SOURCE_REMOVE;
}

} // namespace

void BmWav::Play(std::string fileName)
{
    mFileName = std::move(fileName);
    mWavPlayId = g_idle_add(gWavPlay, this);
}

void BmWav::WavPlay()
{
    mWavPlayId = 0;
    if (pGstPipeline != nullptr)
        gst_element_set_state(pGstPipeline, GST_STATE_NULL);
    char launch[1024];
    snprintf(launch, sizeof(launch), "playbin uri=file://%s", mFileName.c_str());
    printf("WavPlay...%s\n", launch);
    pGstPipeline = gst_parse_launch(launch, nullptr);
    if (pGstPipeline != nullptr)
        gst_element_set_state(pGstPipeline, GST_STATE_PLAYING);
}

void BmWav::Stop()
{
    if (pGstPipeline == nullptr)
        return;
    gst_element_set_state(pGstPipeline, GST_STATE_NULL);
    pGstPipeline = nullptr;
}

bool BmWav::IsPlaying()
{
    gint64 position = 0;
    return pGstPipeline != nullptr && gst_element_query_position(pGstPipeline, GST_FORMAT_PERCENT, &position) &&
           position <= 999999;
}
