#include "placement.h"

#include <algorithm>

BarRect DockStrip(const BarRect& area, Dock edge, long height) {
    BarRect r = area;
    if (edge == Dock::Bottom) {
        r.top = area.bottom - height;
    } else {
        r.bottom = area.top + height;
    }
    return r;
}

BarRect FloatRect(long savedLeft, long savedTop, long width, long height, const BarRect& workArea) {
    BarRect r;
    r.left = std::max(workArea.left, std::min(savedLeft, workArea.right - width));
    r.top = std::max(workArea.top, std::min(savedTop, workArea.bottom - height));
    r.right = r.left + width;
    r.bottom = r.top + height;
    return r;
}

const char* DockName(Dock edge) {
    switch (edge) {
    case Dock::Bottom: return "bottom";
    case Dock::Float: return "float";
    default: return "top";
    }
}

Dock ParseDock(const std::string& name) {
    if (name == "bottom") return Dock::Bottom;
    if (name == "float") return Dock::Float;
    return Dock::Top;
}
