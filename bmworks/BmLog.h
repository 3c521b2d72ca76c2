#pragma once
// The engine's log lines: plain printf to standard output, command logs
// framed in banner lines; platform failures use the red error-line form.

#include "mpp_comm/mpp_comm_log.h"

// A banner line: count copies of c and a newline.
void BmPrintRule(char c, int count);
