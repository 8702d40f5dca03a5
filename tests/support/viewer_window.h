// The Products window of this test program, opened and closed as the viewer does at start-up and exit,
// for the tests that link the viewer's own code.
#pragma once

#include <windows.h>

// Fixtures derive from this beside ::testing::Test, so that their tests see window and list. The
// steps report through the test's assertions: wrap the calls in ASSERT_NO_FATAL_FAILURE.
class ViewerWindow {
public:
    HWND window = nullptr;
    HWND list = nullptr;

    // Takes launchArgs for the command line, registers the class and opens the window with its list.
    void OpenViewerWindow(const char* launchArgs);

    // Creates the window, shown, with the class already registered, and finds its list.
    void CreateViewerWindow();

    // Destroys the window if it is still there and handles what that queued.
    void DestroyViewerWindow();

    // Destroys the window, frees the product records and unregisters the class.
    void CloseViewerWindow();
};
