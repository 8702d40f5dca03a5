// Child placement of the browser window: the labelled field on top, the button at the bottom, the
// labelled list in between.
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
    layout.fieldLabel = { m, m, width, lineHeight };
    layout.field = { m, m + lineHeight + LABEL_GAP, width, fieldHeight };
    layout.historyLabel = { m, layout.field.y + fieldHeight + m, width, lineHeight };
    layout.openAgain = { clientWidth - m - OPEN_AGAIN_WIDTH, clientHeight - m - buttonHeight, OPEN_AGAIN_WIDTH,
                         buttonHeight };
    int listTop = layout.historyLabel.y + lineHeight + LABEL_GAP;
    layout.history = { m, listTop, width, NotNegative(layout.openAgain.y - m - listTop) };
    return layout;
}
