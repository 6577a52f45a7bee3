// The container's row arithmetic, free of Windows headers: what each pane answered to
// WM_GETMINMAXINFO goes in, the panes' places and the row's size come out.
#pragma once

// The two fields of a pane's answer that the row reads (slot 2 also gives minWidth).
struct PaneAnswer {
    long width = 0;      // ptMaxSize.x: the pane's width in the row
    long minHeight = 0;  // ptMinTrackSize.y: the height it needs
    long minWidth = 0;   // ptMinTrackSize.x: read for slot 2 only
};

struct PanePlace {
    long x = 0;
    long width = 0;
};

struct RowLayout {
    PanePlace panes[2];  // slot 0 (watch) and slot 1 (search)
    long height = 0;     // H: the tallest pane's need, at least 0
    long width = 0;      // W: both widths, a 3-pixel gap after each, plus slot 2's minimum
};

// Slots that hold no window answer all zeros.
RowLayout LayOutRow(const PaneAnswer (&answers)[3]);

constexpr long kPaneGap = 3;
