#include "bmworks/BmLog.h"

void BmPrintRule(char c, int count)
{
    for (int i = 0; i < count; i++)
        putchar(c);
    putchar('\n');
}
