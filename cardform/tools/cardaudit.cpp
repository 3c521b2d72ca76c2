// cardaudit: checks that a card carries the layout cardform writes for the
// given sizes, frame rates and options. Only reads the card.

#include "cardform/Cardform.h"
#include "cardform/CardformCommon.h"
#include "cardform/tools/CardArguments.h"

#include <cstdio>

int main(int argc, char** argv)
{
    Cardform card;
    CardArguments arguments;
    if (!ParseCardauditArguments(argc, argv, &arguments) || !SetUpCard(arguments, &card)) {
        puts(CARDAUDIT_USAGE);
        return 1;
    }
    const bool verified = card.VerifyDisk();
    PrintLine('=', 55);
    puts(verified ? "                     Verify OK" : "                    Verify FAIL");
    PrintLine('=', 55);
    if (verified)
        return 0;
    puts(CARDAUDIT_USAGE);
    return 1;
}
