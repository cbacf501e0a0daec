#pragma once
// The JavaScript that page operations run in the page. Every text from the
// program (selectors, markers, titles) enters a script only as a JSON
// literal, never spliced into the source.
//
// Elements are looked up in the document, then in document order in its
// open shadow roots and in every frame whose document the script may reach
// (same origin); other frames are searched by the engine in their own
// execution contexts.
#include <string>
#include <string_view>

namespace vidralo::cdp::scripts {

// true / false: an element matches `selector`.
std::string elementExists(std::string_view selector);
// true / false: the first element matching `selector` is rendered (it has a
// box), not hidden by visibility or opacity, and shows some text.
std::string elementShown(std::string_view selector);
// The element's text (the value for form fields); null when none matches.
std::string elementText(std::string_view selector);
// Scrolls the element into view; {x, y} of its centre in the top page's
// viewport, or null when it matches nothing or has no size.
std::string elementCentre(std::string_view selector);
// Calls the element's click(); true when it was found.
std::string clickElement(std::string_view selector);
// Focuses the element and selects its content so that typed text replaces
// it; "focused", "unfocusable" (found, but focus went elsewhere) or null.
std::string prepareInput(std::string_view selector);
// Gives the element `text` directly and raises input and change, for fields
// that refuse focus or when the text is empty.
std::string assignInput(std::string_view selector, std::string_view text);
// Raises input and change on the element after typing.
std::string announceInput(std::string_view selector);
// The element itself (as a remote object), for DOM commands.
std::string elementObject(std::string_view selector);
// true when the page shows `marker`: in a title or the visible text of the
// document, its open shadow roots or reachable frames (never in script
// source, markup or attributes); an empty marker asks for a completely
// loaded document.
std::string markerPresent(std::string_view marker);
// Clicks the innermost element that shows `text` (the first in document
// order); true when there was one.
std::string clickShowing(std::string_view text);
std::string setTitle(std::string_view title);
// Replaces alert, confirm and prompt by versions that return at once.
std::string dialogOverride();

}  // namespace vidralo::cdp::scripts
