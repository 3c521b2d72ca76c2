#include "bmworks/BmPost.h"

namespace {

BmHandoff gPosts;

struct Posted {
    GSourceFunc fn;
    gpointer data;
};

gboolean RunPosted(gpointer data)
{
    gPosts.Take();
    auto* posted = static_cast<Posted*>(data);
    posted->fn(posted->data);
    return G_SOURCE_REMOVE;
}

void FreePosted(gpointer data)
{
    delete static_cast<Posted*>(data);
}

} // namespace

void BmPost(GSourceFunc fn, gpointer data)
{
    auto* posted = new Posted{fn, data};
    gPosts.Give();
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, RunPosted, posted, FreePosted);
}
