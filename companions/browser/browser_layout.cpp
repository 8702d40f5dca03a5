// Child placement of the browser window: field on top, button at the bottom, the list in between.
#include "companions/browser/browser_layout.h"

static int NotNegative(int value)
{
    return value < 0 ? 0 : value;
}

BrowserLayout LayOutBrowser(int clientWidth, int clientHeight, int lineHeight)
{
    const int m = BROWSER_MARGIN;
    int fieldHeight = lineHeight + 8;   // a bordered edit line
    int buttonHeight = lineHeight + 12; // a push button's usual proportion
    int width = NotNegative(clientWidth - 2 * m);

    BrowserLayout layout;
    layout.field = { m, m, width, fieldHeight };
    layout.openAgain = { clientWidth - m - OPEN_AGAIN_WIDTH, clientHeight - m - buttonHeight, OPEN_AGAIN_WIDTH,
                         buttonHeight };
    int listTop = m + fieldHeight + m;
    layout.history = { m, listTop, width, NotNegative(layout.openAgain.y - m - listTop) };
    return layout;
}
