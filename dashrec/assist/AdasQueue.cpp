#include "dashrec/assist/AdasShared.h"

#include <cstring>

int GetBitResolution(int v)
{
    int bits = 1;
    while (bits < 31 && (v >> bits) != 0)
        bits++;
    return bits;
}

int InitQ(FS_QUE* q, int n)
{
    if (n < 2 || n > 8)
        return 0;
    std::memset(q, 0, sizeof(*q));
    q->capacity = 1u << GetBitResolution(n - 1);
    q->mask = q->capacity - 1;
    return 1;
}

bool IsFullQ(const FS_QUE* q)
{
    return q->writeCount - q->readCount >= q->capacity;
}

bool IsEmptyQ(const FS_QUE* q)
{
    return q->writeCount == q->readCount;
}

static void Store(FS_QUE* q, int v)
{
    q->slots[q->writeCount & q->mask] = v;
    q->writeCount++;
    q->sum += v;
}

static int DropOldest(FS_QUE* q)
{
    int v = q->slots[q->readCount & q->mask];
    q->readCount++;
    q->sum -= v;
    return v;
}

int PushQ(FS_QUE* q, int v)
{
    bool dropped = IsFullQ(q);
    if (dropped)
        DropOldest(q);
    Store(q, v);
    if (!dropped)
        q->held++;
    return dropped ? 1 : 0;
}

int PutQ(FS_QUE* q, int v)
{
    if (IsFullQ(q))
        return 0;
    Store(q, v);
    q->held++;
    return 1;
}

int GetQ(FS_QUE* q, int* out)
{
    if (IsEmptyQ(q))
        return 0;
    *out = DropOldest(q);
    q->held--;
    return 1;
}

int SeeQHead(const FS_QUE* q)
{
    return q->slots[(q->writeCount - 1) & q->mask];
}

int SeeQTail(const FS_QUE* q)
{
    return q->slots[q->readCount & q->mask];
}
