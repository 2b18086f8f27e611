// Placing a window inside the main window's MDI area.
#pragma once

#include <QMdiSubWindow>
#include <QSize>
#include <algorithm>

namespace quilla {

// Moves `win` so that it lies inside an area of `room` (its top left corner
// at least at 0,0 where it is larger than the room).
inline void KeepInside(QMdiSubWindow* win, QSize room) {
    win->move(std::clamp(win->x(), 0, std::max(0, room.width() - win->width())),
              std::clamp(win->y(), 0, std::max(0, room.height() - win->height())));
}

}  // namespace quilla
