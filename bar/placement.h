// Where the bar stands: docked as an app bar along the top or bottom edge of the primary
// monitor, or floating where the user left it. Pure arithmetic over rectangles, so that the
// cases the shell can produce are tested natively.
#pragma once

#include <string>

enum class Dock { Top, Bottom, Float };

struct BarRect {
    long left = 0, top = 0, right = 0, bottom = 0;
    long Width() const { return right - left; }
    long Height() const { return bottom - top; }
    bool operator==(const BarRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// The strip `height` tall along the edge of `area`, as wide as `area`. What the bar asks the
// shell for (ABM_QUERYPOS) is the strip of the monitor; what it takes from the answer is the
// strip of the answer, since the shell moves only the side that faces other bars (and Wine
// only the top), and the height decides the other side.
BarRect DockStrip(const BarRect& area, Dock edge, long height);

// A floating window of `width` by `height` at the saved top-left corner, moved fully into
// `workArea` where it sticks out.
BarRect FloatRect(long savedLeft, long savedTop, long width, long height, const BarRect& workArea);

// The stored names of the placements ("top", "bottom", "float"); anything else reads as Top.
const char* DockName(Dock edge);
Dock ParseDock(const std::string& name);
