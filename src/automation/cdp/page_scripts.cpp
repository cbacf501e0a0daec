#include "automation/cdp/page_scripts.h"

#include "automation/cdp/cdp_json.h"

namespace vidralo::cdp::scripts {
namespace {

// Visits, in document order, the open shadow roots and the reachable
// (same-origin) frame documents below `root`; stops at the first visit that
// returns something other than null.
constexpr std::string_view kInnerRoots = R"(
const innerRoots = (root, visit) => {
  for (const host of root.querySelectorAll('*')) {
    if (host.shadowRoot) { const got = visit(host.shadowRoot); if (got !== null) return got; }
    if (host.tagName === 'IFRAME' || host.tagName === 'FRAME') {
      let inner = null;
      try { inner = host.contentDocument; } catch (e) {}
      if (inner) { const got = visit(inner); if (got !== null) return got; }
    }
  }
  return null;
};
)";

// Wraps `body` so that it runs with `el` bound to the first element that
// matches `selector` (or null): in the document itself first, then in its
// open shadow roots and frames. An invalid selector matches nothing.
std::string withElement(std::string_view selector, std::string_view body) {
  std::string script = "(() => {\nconst selector = ";
  script += jsonString(selector);
  script += ";";
  script += kInnerRoots;
  script += R"(const find = (root) => {
  let found = null;
  try { found = root.querySelector(selector); } catch (e) { return null; }
  return found || innerRoots(root, find);
};
const el = find(document);
)";
  script += body;
  script += "\n})()";
  return script;
}

constexpr std::string_view kRaiseInputEvents = R"(
  el.dispatchEvent(new Event('input', {bubbles: true}));
  el.dispatchEvent(new Event('change', {bubbles: true}));)";

}  // namespace

std::string elementExists(std::string_view selector) { return withElement(selector, "return el !== null;"); }

std::string elementShown(std::string_view selector) {
  return withElement(selector, R"(if (!el || el.getClientRects().length === 0) return false;
if (!el.checkVisibility({checkOpacity: true, checkVisibilityCSS: true})) return false;
return String(el.innerText || '').trim() !== '';)");
}

std::string elementText(std::string_view selector) {
  return withElement(selector, R"(if (!el) return null;
if (el.tagName === 'INPUT' || el.tagName === 'TEXTAREA' || el.tagName === 'SELECT') return String(el.value);
const text = el.innerText;
return typeof text === 'string' ? text : String(el.textContent || '');)");
}

std::string elementCentre(std::string_view selector) {
  return withElement(selector, R"(if (!el) return null;
el.scrollIntoView({block: 'center', inline: 'center', behavior: 'instant'});
const box = el.getBoundingClientRect();
if (box.width <= 0 || box.height <= 0) return null;
let x = box.left + box.width / 2, y = box.top + box.height / 2;
// Frames: add each frame element's place in its parent's viewport.
for (let view = el.ownerDocument.defaultView; view && view.frameElement; view = view.parent) {
  const frame = view.frameElement, at = frame.getBoundingClientRect();
  x += at.left + frame.clientLeft;
  y += at.top + frame.clientTop;
}
return {x, y};)");
}

std::string clickElement(std::string_view selector) {
  return withElement(selector, "if (!el) return false;\nel.click();\nreturn true;");
}

std::string prepareInput(std::string_view selector) {
  return withElement(selector, R"(if (!el) return null;
const doc = el.ownerDocument;
el.scrollIntoView({block: 'center', inline: 'center', behavior: 'instant'});
el.focus();
if (el.isContentEditable) {
  const range = doc.createRange();
  range.selectNodeContents(el);
  const selection = doc.defaultView.getSelection();
  selection.removeAllRanges();
  selection.addRange(range);
} else if (typeof el.select === 'function') {
  el.select();
}
const active = doc.activeElement;
return active === el || (active && el.isContentEditable && active.contains(el)) ? 'focused' : 'unfocusable';)");
}

std::string assignInput(std::string_view selector, std::string_view text) {
  std::string body = "if (!el) return false;\nconst text = ";
  body += jsonString(text);
  body += R"(;
const view = el.ownerDocument.defaultView;
if (el.isContentEditable) {
  el.textContent = text;
} else {
  // The prototype's setter, so that frameworks which wrap `value` notice.
  const proto = el instanceof view.HTMLTextAreaElement ? view.HTMLTextAreaElement.prototype
              : el instanceof view.HTMLInputElement ? view.HTMLInputElement.prototype : null;
  const setter = proto && Object.getOwnPropertyDescriptor(proto, 'value').set;
  if (setter) setter.call(el, text); else el.value = text;
})";
  body += kRaiseInputEvents;
  body += "\nreturn true;";
  return withElement(selector, body);
}

std::string announceInput(std::string_view selector) {
  std::string body = "if (!el) return false;";
  body += kRaiseInputEvents;
  body += "\nreturn true;";
  return withElement(selector, body);
}

std::string elementObject(std::string_view selector) { return withElement(selector, "return el;"); }

std::string markerPresent(std::string_view marker) {
  std::string script = "(() => {\nconst marker = ";
  script += jsonString(marker);
  script += ";";
  script += kInnerRoots;
  // Only what the page shows counts: the title and the rendered text
  // (innerText leaves out scripts, styles and hidden elements), never the
  // source of a script, markup or attributes.
  script += R"(const shows = (el) => !['SCRIPT', 'STYLE', 'TEMPLATE', 'NOSCRIPT'].includes(el.tagName) &&
    el.checkVisibility() && (el.innerText || '').includes(marker);
const has = (root) => {
  if (root.nodeType === Node.DOCUMENT_NODE) {
    if (marker === '') return root.readyState === 'complete' ? true : null;
    if (root.title.includes(marker) || (root.body && shows(root.body))) return true;
  } else if (marker !== '') {
    for (const child of root.children) if (shows(child)) return true;
  }
  return innerRoots(root, has);
};
return has(document) === true;
})())";
  return script;
}

std::string clickShowing(std::string_view text) {
  std::string script = "(() => {\nconst text = ";
  script += jsonString(text);
  script += R"(;
const shows = (el) => el.checkVisibility() && (el.innerText || '').includes(text);
for (const el of document.body ? document.body.querySelectorAll('*') : []) {
  if (!shows(el) || Array.from(el.children).some(shows)) continue;
  el.click();
  return true;
}
return false;
})())";
  return script;
}

std::string setTitle(std::string_view title) {
  return "document.title = " + jsonString(title) + ", true";
}

std::string dialogOverride() {
  return R"((() => {
  window.alert = () => {};
  window.confirm = () => true;
  window.prompt = (message, value) => (value === undefined ? '' : String(value));
})())";
}

}  // namespace vidralo::cdp::scripts
