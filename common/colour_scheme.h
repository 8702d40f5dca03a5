// The colours the viewer paints with: the skin's, or the system's when the user has high contrast
// on or when the system's window colour would leave the skin's text unreadable. Portable: the
// choice is plain arithmetic on colours.
#pragma once

#include <stdint.h>

typedef uint32_t Colour; // 0x00BBGGRR, as a COLORREF

// The Close button's own colours under the skin.
const Colour ButtonLightEdge = 0xFFFFFF;
const Colour ButtonDarkEdge = 0x7F7F7F;
const Colour ButtonTextColour = 0x7F0000; // dark blue

// The least contrast ratio that text must reach against its background (WCAG 2.1 AA).
const double READABLE_CONTRAST = 4.5;

// The system colours the viewer may paint with, as GetSysColor gives them.
struct SystemColours {
    Colour window, windowText;       // COLOR_WINDOW, COLOR_WINDOWTEXT: the list's rows
    Colour buttonFace, buttonText;   // COLOR_BTNFACE, COLOR_BTNTEXT
    Colour buttonLight, buttonShadow; // COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW
    Colour menu, menuText;           // COLOR_MENU, COLOR_MENUTEXT
};

struct ColourScheme {
    bool system;        // the system's colours rather than the skin's
    Colour background;  // the window's face around the list, behind the status line
    Colour text;        // text on that face: the status line
    Colour listText;    // the rows' text; their background is always the system's window colour
    Colour buttonFace, buttonText, buttonLight, buttonDark; // the Close button
    Colour menu, menuText; // unselected menu items; under the skin they keep the menu's own colours
};

// The WCAG 2.1 contrast ratio of two colours, from 1 (equal) to 21 (black and white).
double ContrastRatio(Colour a, Colour b);

// The scheme for the user's high-contrast flag, the skin's background and list text colours, and
// the system's colours: the system's when high contrast is on or the skin's list text reaches less
// than READABLE_CONTRAST against the system's window colour, else the skin's.
ColourScheme ChooseColourScheme(bool highContrast, Colour skinBackground, Colour skinListText,
                                const SystemColours& system);
