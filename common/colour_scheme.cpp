// Contrast ratios and the choice between the skin's colours and the system's.
#include "common/colour_scheme.h"

#include <math.h>

// Relative luminance of one sRGB channel value, linearised.
static double Channel(unsigned value)
{
    double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4);
}

static double Luminance(Colour colour)
{
    return 0.2126 * Channel(colour & 0xFF) + 0.7152 * Channel((colour >> 8) & 0xFF) +
           0.0722 * Channel((colour >> 16) & 0xFF);
}

double ContrastRatio(Colour a, Colour b)
{
    double la = Luminance(a), lb = Luminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

ColourScheme ChooseColourScheme(bool highContrast, Colour skinBackground, Colour skinListText,
                                const SystemColours& system)
{
    if (highContrast || ContrastRatio(skinListText, system.window) < READABLE_CONTRAST)
        return { true, system.buttonFace, system.buttonText, system.windowText, system.buttonFace, system.buttonText,
                 system.buttonLight, system.buttonShadow, system.menu, system.menuText };
    return { false, skinBackground, skinListText, skinListText, skinBackground, ButtonTextColour, ButtonLightEdge,
             ButtonDarkEdge, system.menu, system.menuText };
}
