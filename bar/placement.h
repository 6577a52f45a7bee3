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

// What the bar asks the shell for (ABM_QUERYPOS): the monitor's whole width, `height` tall at
// the edge.
BarRect DockRequest(const BarRect& monitor, Dock edge, long height);

// What the bar takes after the shell's answer: the shell moves the side that faces the edge
// out of other bars' way (and Wine moves only the top), so the other side is worked out again
// from the height.
BarRect DockAnswer(const BarRect& answered, Dock edge, long height);

// A floating window of `width` by `height` at the saved top-left corner, moved fully into
// `workArea` where it sticks out.
BarRect FloatRect(long savedLeft, long savedTop, long width, long height, const BarRect& workArea);

// The stored names of the placements ("top", "bottom", "float"); anything else reads as Top.
const char* DockName(Dock edge);
Dock ParseDock(const std::string& name);
