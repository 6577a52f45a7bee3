#include "band/pane_layout.h"

RowLayout LayOutRow(const PaneAnswer (&answers)[3]) {
    RowLayout row;
    for (const PaneAnswer& answer : answers) {
        if (answer.minHeight > row.height) row.height = answer.minHeight;
    }
    long x = 0;
    for (int slot = 0; slot < 2; ++slot) {
        row.panes[slot].x = x;
        row.panes[slot].width = answers[slot].width;
        // The gap follows the last pane too, so an empty slot still moves the next one on.
        x += answers[slot].width + kPaneGap;
    }
    row.width = x + answers[2].minWidth;
    return row;
}
