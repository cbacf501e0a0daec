#pragma once
// Whether the window can be shown at all, asked before Qt would abort with
// its own message about a platform plugin.
namespace vidralo {

// True when Qt was told to use a platform that needs no display (offscreen,
// minimal, vnc), when a Wayland display is named, or when the X display in
// DISPLAY can be opened.
bool displayAvailable();

}  // namespace vidralo
