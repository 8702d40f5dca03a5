// Handing an address on: to the system's default web browser, or, when VN_BROWSER_RECORD names a
// file, to one line of that file, so that tests see every open and refusal and no browser starts.
#pragma once

#include <windows.h>

#include "companions/browser/address_rules.h"

// Reads the record setting once, at start-up.
void ReadRecordSetting();

// Opens address (on ADDRESS_OPENS) or notes the refusal of text. Without a record file a refusal
// leaves no trace but the history line.
void HandOff(HWND window, AddressVerdict verdict, const char* text);
