// The launcher's side of the viewer's argument "<ServerHost>^<AccountId>^<AccountKey>#": which field
// texts the viewer reads back exactly as typed, the argument built from them, and the command line
// and search path the viewer is started with. Portable: also built natively, under the sanitizers.
#pragma once

#include <stddef.h>

#include "common/capacities.h"

enum LaunchField { FIELD_SERVER_HOST, FIELD_ACCOUNT_ID, FIELD_ACCOUNT_KEY, LAUNCH_FIELD_COUNT };

// Why a field cannot be handed to the viewer.
enum LaunchFault {
    FAULT_NONE,
    FAULT_SEPARATOR, // holds the character that ends this field when the viewer splits the argument
    FAULT_TOO_LONG,  // longer than the viewer keeps: it would be cut
    FAULT_NOT_IPV4,  // server address neither empty nor dotted IPv4; the viewer looks up no names
};

struct LaunchCheck {
    LaunchFault fault;
    LaunchField field; // the first field at fault; meaningless with FAULT_NONE
};

// Each capacity counts a terminator, whose place the field's separator takes in the argument.
enum { LAUNCH_ARGUMENT_CAPACITY = SERVER_HOST_CAPACITY + ACCOUNT_ID_CAPACITY + ACCOUNT_KEY_CAPACITY + 1 };

// Builds "host^id^key#" from the three field texts, or leaves argument empty and names the first
// field, in field order, that the viewer would not read back unchanged. argument holds
// LAUNCH_ARGUMENT_CAPACITY characters, room for any fields that pass.
LaunchCheck BuildLaunchArgument(const char* const fields[LAUNCH_FIELD_COUNT], char* argument, size_t capacity);

// Four decimal numbers 0 to 255 joined by dots, no leading zeros (the viewer's conversion reads
// those as octal), nothing else.
bool IsDottedIpv4(const char* text);

// The field's name as its label shows it, e.g. "Account id".
const char* LaunchFieldName(LaunchField field);

// One sentence naming the field and why it was refused. Returns the characters stored.
size_t DescribeLaunchCheck(LaunchCheck check, char* text, size_t capacity);

// The viewer's command line: the program path in quotes, one blank, then the argument verbatim. The
// viewer takes everything after the program name and its blanks as the argument, quotes included,
// so the argument itself must not be quoted. False, with line empty, when it does not fit.
bool BuildViewerCommandLine(char* line, size_t capacity, const char* program, const char* argument);

// The search path the viewer inherits: folder first, so that the shell's search for a companion
// started by bare name finds it there, then the inherited path. False, with path empty, when it
// does not fit or the folder holds ';', which would split it into two entries.
bool BuildViewerSearchPath(char* path, size_t capacity, const char* folder, const char* inherited);
