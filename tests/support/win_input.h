// Real input for the Windows test programs: mouse and keys through SendInput, the popup menu's
// window, input scripts run beside a pumping thread, and windows and list boxes of other processes.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>

// One mouse event at a screen point, moving there, in the absolute coordinates a mouse driver gives.
INPUT MouseInput(POINT at, DWORD flags);

// Sends one such event: a move to the point, with the button flags given.
void MouseTo(POINT at, DWORD flags = 0);

// Moves the pointer to a screen point, then presses and releases the left button there.
void ClickAt(POINT at);

// The same with the right button.
void RightClickAt(POINT at);

// Presses and releases one virtual key.
void PressKey(WORD key);

// Presses the keys in order and releases them in reverse, as a chord such as Ctrl+1 is typed.
void PressChord(std::initializer_list<WORD> keys);

// Types text character by character as Unicode key strokes.
void TypeText(const char* text);

// The visible popup menu window ("#32768"), or null when none is up.
HWND VisiblePopup();

// Waits up to timeoutMs, in 20 ms steps, for a visible popup menu; null if none came.
HWND WaitForPopup(int timeoutMs);

// Waits up to timeoutMs, in 20 ms steps, until no popup menu is visible; false if one stayed.
bool WaitForNoPopup(int timeoutMs);

// What an input script saw of a shown popup menu: its window and its first two items, on the screen.
struct SeenMenu {
    bool shown = false;
    RECT rect = {};
    int items = 0;
    UINT ids[2] = {};
    UINT types[2] = {};
    ULONG_PTR data[2] = {};
    RECT itemRects[2] = {};
};

// Reads a shown popup menu's window and first two items, from any thread.
SeenMenu ReadPopup(HWND popup);

// Runs script on a second thread while this one pumps messages, as a popup menu's modal loop needs.
void RunInput(const std::function<void()>& script);

// Runs input (keys or clicks) that way, reads the popup menu it opens and dismisses it with Escape;
// shown is false when none opened within waitMs.
SeenMenu MenuAfter(const std::function<void()>& input, int waitMs = 5000);

// The visible top-level window of a class that belongs to the given process; null if none.
HWND FindOwnedWindow(const char* className, DWORD processId);

// Polls find every pollMs until it gives a window, for at most timeoutMs; null if none came.
HWND WaitForWindow(const std::function<HWND()>& find, int timeoutMs, int pollMs = 50);

// Line index of another process's list box, in code page 1252; false when it has no such line.
bool ReadListBoxLine(HWND list, int index, std::string* line);

// Line index of a list box as ReadListBoxLine reads it, or "" when it has no such line.
std::string ListBoxLine(HWND list, int index);
