// The two addresses a product row hands to the companion browser, and the wrap-safe wait after
// starting it. Portable.
#pragma once

#include <stddef.h>

// "http://" and the web address, cut to capacity.
void FormatWebUrl(char* buffer, size_t capacity, const char* webAddress);

// "http://<server>:<feed port>/<path>^<account id>^<account key>", no field escaped, cut to capacity.
void FormatServerPageUrl(char* buffer, size_t capacity, const char* serverAddress, const char* serverPath,
                         const char* accountId, const char* accountKey);

// True once waitMs have passed between two readings of a 32-bit millisecond tick count, also when
// the count wrapped round in between.
bool TickWaitOver(unsigned start, unsigned now, unsigned waitMs);
