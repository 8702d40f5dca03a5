// The viewer's single command-line argument, "<ServerHost>^<AccountId>^<AccountKey>#", split into fields.
#pragma once

struct LaunchArgs {
    char commandLine[60]; // the argument as received, cut to capacity
    char ServerHost[28];  // dotted IPv4 address of the feed server, or empty
    char AccountId[40];   // first account field, forwarded verbatim
    char AccountKey[12];  // second account field, forwarded verbatim
};

// The fields of this run: written once at start-up, read-only afterwards.
extern LaunchArgs TheLaunchArgs;

// Splits argument into args. Only '^' ends the first two fields and only '#' ends the third; a missing
// separator ends the field at the end of the string. Fields are kept verbatim and cut to capacity.
void ParseLaunchArgs(const char* argument, LaunchArgs* args);
