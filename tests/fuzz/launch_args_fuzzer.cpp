// libFuzzer target: any text as the command-line argument, split into the launch fields.
#include <stdint.h>
#include <string.h>

#include <string>

#include "app/launch_args.h"

static bool Terminated(const char* field, size_t capacity)
{
    return strnlen(field, capacity) < capacity;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string argument(reinterpret_cast<const char*>(data), size);
    argument = argument.c_str(); // the program receives a zero-terminated text
    LaunchArgs args;
    memset(&args, 0x55, sizeof args);
    ParseLaunchArgs(argument.c_str(), &args);
    if (!Terminated(args.commandLine, sizeof args.commandLine) || !Terminated(args.ServerHost, sizeof args.ServerHost) ||
        !Terminated(args.AccountId, sizeof args.AccountId) || !Terminated(args.AccountKey, sizeof args.AccountKey))
        __builtin_trap();
    // Fields hold no separator that ends them, and each is a prefix of its place in the argument.
    if (strchr(args.ServerHost, '^') != nullptr || strchr(args.AccountId, '^') != nullptr ||
        strchr(args.AccountKey, '#') != nullptr)
        __builtin_trap();
    if (argument.compare(0, strlen(args.ServerHost), args.ServerHost) != 0)
        __builtin_trap();
    return 0;
}
