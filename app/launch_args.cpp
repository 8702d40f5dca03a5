// Splitting of the command-line argument into the three launch fields.
#include "app/launch_args.h"

#include "common/text.h"

LaunchArgs TheLaunchArgs;

// Copies the field that starts at text into field, up to the separator or the end of the string,
// and returns where the next field starts (past the separator, or at the terminator).
static const char* TakeField(const char* text, char separator, char* field, size_t capacity)
{
    size_t length = 0;
    while (text[length] != '\0' && text[length] != separator)
        ++length;
    CopyTextN(field, capacity, text, length);
    return text[length] == separator ? text + length + 1 : text + length;
}

void ParseLaunchArgs(const char* argument, LaunchArgs* args)
{
    if (argument == nullptr)
        argument = "";
    CopyText(args->commandLine, Capacity(args->commandLine), argument);
    const char* rest = argument;
    rest = TakeField(rest, '^', args->ServerHost, Capacity(args->ServerHost));
    rest = TakeField(rest, '^', args->AccountId, Capacity(args->AccountId));
    TakeField(rest, '#', args->AccountKey, Capacity(args->AccountKey));
}
