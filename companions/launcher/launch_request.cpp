// Building the viewer's argument, command line and search path, and saying why a field is refused.
#include "companions/launcher/launch_request.h"

#include <string.h>

#include "common/text.h"

// What the viewer's splitting does with each field: the character that ends it (which the argument
// puts after it, so the field cannot hold it) and how much of it the viewer keeps.
struct FieldRule {
    const char* name;
    char separator;
    size_t capacity; // terminator included, as the viewer declares it
    bool dottedIpv4;
};

static const FieldRule FieldRules[LAUNCH_FIELD_COUNT] = {
    { "Server address", '^', SERVER_HOST_CAPACITY, true },
    { "Account id", '^', ACCOUNT_ID_CAPACITY, false },
    { "Account key", '#', ACCOUNT_KEY_CAPACITY, false },
};

static LaunchFault CheckField(const FieldRule& rule, const char* text)
{
    if (strchr(text, rule.separator) != nullptr)
        return FAULT_SEPARATOR;
    if (strlen(text) >= rule.capacity)
        return FAULT_TOO_LONG;
    if (rule.dottedIpv4 && text[0] != '\0' && !IsDottedIpv4(text))
        return FAULT_NOT_IPV4;
    return FAULT_NONE;
}

LaunchCheck BuildLaunchArgument(const char* const fields[LAUNCH_FIELD_COUNT], char* argument, size_t capacity)
{
    CopyText(argument, capacity, "");
    for (int field = 0; field < LAUNCH_FIELD_COUNT; ++field) {
        LaunchFault fault = CheckField(FieldRules[field], fields[field]);
        if (fault != FAULT_NONE)
            return { fault, (LaunchField)field };
    }
    FormatText(argument, capacity, "%s%c%s%c%s%c", fields[FIELD_SERVER_HOST], FieldRules[FIELD_SERVER_HOST].separator,
               fields[FIELD_ACCOUNT_ID], FieldRules[FIELD_ACCOUNT_ID].separator, fields[FIELD_ACCOUNT_KEY],
               FieldRules[FIELD_ACCOUNT_KEY].separator);
    return { FAULT_NONE, FIELD_SERVER_HOST };
}

// Reads one part of a dotted address at text; returns where it ends, or null when it is not 0 to
// 255 written without leading zeros.
static const char* TakeAddressPart(const char* text)
{
    int value = 0;
    int digits = 0;
    while (text[digits] >= '0' && text[digits] <= '9') {
        value = value * 10 + (text[digits] - '0');
        if (++digits > 3)
            return nullptr;
    }
    if (digits == 0 || value > 255 || (digits > 1 && text[0] == '0'))
        return nullptr;
    return text + digits;
}

bool IsDottedIpv4(const char* text)
{
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *text++ != '.')
            return false;
        text = TakeAddressPart(text);
        if (text == nullptr)
            return false;
    }
    return *text == '\0';
}

const char* LaunchFieldName(LaunchField field)
{
    return FieldRules[field].name;
}

size_t DescribeLaunchCheck(LaunchCheck check, char* text, size_t capacity)
{
    const FieldRule& rule = FieldRules[check.field];
    switch (check.fault) {
    case FAULT_NONE:
        return CopyText(text, capacity, "");
    case FAULT_SEPARATOR:
        return FormatText(text, capacity, "%s holds '%c', which the viewer takes as the end of the field; remove it.",
                          rule.name, rule.separator);
    case FAULT_TOO_LONG:
        return FormatText(text, capacity, "%s is longer than the viewer keeps: %u characters at most.", rule.name,
                          (unsigned)(rule.capacity - 1));
    case FAULT_NOT_IPV4:
        return FormatText(text, capacity,
                          "%s is not a dotted IPv4 address such as 127.0.0.1 (the viewer looks up no names); "
                          "leave it empty for 127.0.0.1.",
                          rule.name);
    }
    return CopyText(text, capacity, "");
}

bool BuildViewerCommandLine(char* line, size_t capacity, const char* program, const char* argument)
{
    size_t wanted = strlen(program) + strlen(argument) + 3;
    if (FormatText(line, capacity, "\"%s\" %s", program, argument) == wanted)
        return true;
    CopyText(line, capacity, "");
    return false;
}

bool BuildViewerSearchPath(char* path, size_t capacity, const char* folder, const char* inherited)
{
    if (strchr(folder, ';') == nullptr) {
        const char* joint = inherited[0] != '\0' ? ";" : "";
        size_t wanted = strlen(folder) + strlen(joint) + strlen(inherited);
        if (FormatText(path, capacity, "%s%s%s", folder, joint, inherited) == wanted)
            return true;
    }
    CopyText(path, capacity, "");
    return false;
}
