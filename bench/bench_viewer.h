// The viewer's window as the benchmarks open it: filled inside its creation sequence from a generated
// feed served on loopback, before the cell tooltips exist, exactly as the program fills it.
#pragma once

#include <windows.h>

// Serves MakeFeed(count) on address, registers the Products class and creates the window, which
// fetches and fills it; returns the window (null on failure) and its list in *list.
HWND OpenFilledViewer(int count, const char* address, int showCommand, HWND* list);

// Removes the rows and records by hand (closing would end the process), then the window and its class.
void CloseFilledViewer(HWND window, HWND list);
