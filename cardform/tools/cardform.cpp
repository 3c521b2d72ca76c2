// cardform: lays a card (or the eMMC) out as the pre-allocated recording
// volume, or with "wtest" runs the write-endurance test on it.
// Exits 0 when the layout was written, 1 for a usage error or a failed write.

#include "cardform/Cardform.h"
#include "cardform/tools/CardArguments.h"
#include "cardform/tools/WriteTest.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[2], "wtest") == 0)
        return RunWriteTest(argv[1]);

    Cardform card;
    CardArguments arguments;
    if (!ParseCardformArguments(argc, argv, &arguments) || !SetUpCard(arguments, &card)) {
        puts(CARDFORM_USAGE);
        return 1;
    }
    return card.MakeDisk() == 0 ? 0 : 1;
}
