// The viewer's single command-line argument, "<ServerHost>^<AccountId>^<AccountKey>#", split into fields.
#pragma once

#include "common/capacities.h"

struct LaunchArgs {
    char commandLine[COMMAND_LINE_CAPACITY]; // the argument as received, cut to capacity
    char ServerHost[SERVER_HOST_CAPACITY];   // dotted IPv4 address of the feed server, or empty
    char AccountId[ACCOUNT_ID_CAPACITY];     // first account field, forwarded verbatim
    char AccountKey[ACCOUNT_KEY_CAPACITY];   // second account field, forwarded verbatim
};

// The fields of this run: written once at start-up, read-only afterwards.
extern LaunchArgs TheLaunchArgs;

// Splits argument into args. Only '^' ends the first two fields and only '#' ends the third; a missing
// separator ends the field at the end of the string. Fields are kept verbatim and cut to capacity.
void ParseLaunchArgs(const char* argument, LaunchArgs* args);
