#pragma once
// Whether a window can be shown at all, asked before Qt would abort with its
// own message about a platform plugin, and whether anyone would see it.
namespace vidralo {

// True when Qt was told to use a platform that needs no display (offscreen,
// minimal, vnc), when a Wayland display is named, or when the X display in
// DISPLAY can be opened within 2 seconds.
bool displayAvailable();

// Someone can see a window: DISPLAY or WAYLAND_DISPLAY is set, Qt was not
// told to use a platform that draws nowhere (offscreen, minimal), and the
// display can be opened. A display that has gone (the session ended with the
// program) counts as none, since Qt would abort on it.
bool windowsSeen();

}  // namespace vidralo
