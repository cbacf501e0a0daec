#include "automation/cdp/page_scripts.h"

#include "automation/cdp/cdp_json.h"

namespace vidralo::cdp::scripts {
namespace {

// Wraps `body` so that it runs with `el` bound to the first element that
// matches `selector` (or null). An invalid selector matches nothing.
std::string withElement(std::string_view selector, std::string_view body) {
  std::string script = "(() => {\nconst selector = ";
  script += jsonString(selector);
  script += R"(;
const find = (doc) => {
  let found = null;
  try { found = doc.querySelector(selector); } catch (e) { return null; }
  if (found) return found;
  for (const frame of doc.querySelectorAll('iframe,frame')) {
    let inner = null;
    try { inner = frame.contentDocument; } catch (e) {}
    if (inner) { found = find(inner); if (found) return found; }
  }
  return null;
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
  script += R"(;
const has = (doc) => {
  if (marker === '') return doc.readyState === 'complete';
  const text = doc.body ? doc.body.innerText : '';
  if (text && text.includes(marker)) return true;
  if (doc.documentElement && doc.documentElement.outerHTML.includes(marker)) return true;
  for (const frame of doc.querySelectorAll('iframe,frame')) {
    let inner = null;
    try { inner = frame.contentDocument; } catch (e) {}
    if (inner && has(inner)) return true;
  }
  return false;
};
return has(document);
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
