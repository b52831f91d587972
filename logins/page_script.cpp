#include "logins/page_script.h"

const char kLoginPageScript[] = R"js((() => {
'use strict';
const channel = window.webkit && window.webkit.messageHandlers.tavorinLogins;
const origin = location.origin;
if (!channel || origin === 'null' || !/^https?:$/.test(location.protocol)) return;

// Only the page and frames of the page's own origin take part.
const inPage = (() => {
  try {
    for (let w = window; w !== w.parent; w = w.parent) {
      if (w.parent.location.origin !== origin) return false;
    }
    return true;
  } catch (e) {
    return false;
  }
})();
if (!inPage) return;

// Through the prototypes: a form's named fields hide its own properties.
const getter = (type, name) => Object.getOwnPropertyDescriptor(type.prototype, name).get;
const elementsOf = getter(HTMLFormElement, 'elements');
const ownerOf = getter(HTMLInputElement, 'form');
const attribute = (element, name) => Element.prototype.getAttribute.call(element, name);
const hasAttribute = (element, name) => Element.prototype.hasAttribute.call(element, name);
const textual = (input) => ['text', 'email', 'tel'].includes(input.type);
const isPassword = (field) => field instanceof HTMLInputElement && field.type === 'password';

// The one password field of a login form and the username field before it,
// among the fields the form really sends: those it owns, wherever they are
// and whatever their `form` attribute points at.
function fieldsOf(form) {
  const inputs = Array.from(elementsOf.call(form))
                     .filter((e) => e instanceof HTMLInputElement && !e.disabled);
  const passwords = inputs.filter(isPassword);
  if (passwords.length !== 1) return null;
  const before = inputs.slice(0, inputs.indexOf(passwords[0])).filter(textual);
  return {user: before.length ? before[before.length - 1] : null, password: passwords[0]};
}

// Where `form` sends its fields when `submitter` sends it.
function actionOf(form, submitter) {
  let target = attribute(form, 'action') || '';
  if (submitter && hasAttribute(submitter, 'formaction')) {
    target = attribute(submitter, 'formaction');
  }
  try {
    return new URL(target, document.baseURI).origin;
  } catch (e) {
    return 'null';
  }
}

// Seen by the user: not hidden, transparent, tiny or outside the view, nor
// in a frame that is. Not every trick is caught: a login goes in only at the
// user's choice in the program's own list all the same.
function visible(element) {
  for (let e = element; e; e = e.ownerDocument.defaultView.frameElement) {
    const view = e.ownerDocument.defaultView;
    const box = e.getBoundingClientRect();
    if (box.width < 4 || box.height < 4) return false;
    if (box.right <= 0 || box.bottom <= 0 || box.left >= view.innerWidth ||
        box.top >= view.innerHeight) {
      return false;
    }
    if (view.getComputedStyle(e).visibility !== 'visible') return false;
    let opacity = 1;
    for (let a = e; a; a = a.parentElement) opacity *= Number(view.getComputedStyle(a).opacity);
    if (opacity < 0.1) return false;
  }
  return true;
}

// What the user put into each password field: by keys, an input method or a
// paste. Trusted events alone do not tell: a page's execCommand makes them
// too. This world's listeners come first, before any of the page's.
let key = null;  // the key being pressed, until its text went in
let pasting = false;
let composing = false;
const forNow = (set) => {
  set(true);
  setTimeout(() => set(false), 0);
};
window.addEventListener('keydown', (event) => {
  if (!event.isTrusted) return;
  key = event.key;
  setTimeout(() => { key = null; }, 0);
}, true);
window.addEventListener('paste', (event) => {
  if (event.isTrusted) forNow((on) => { pasting = on; });
}, true);
window.addEventListener('compositionstart', (event) => {
  if (event.isTrusted) composing = true;
}, true);
window.addEventListener('compositionend', (event) => {
  if (event.isTrusted) forNow((on) => { composing = on; });
}, true);

// Whether `after` is `before` with a stretch of it replaced by `text`.
function spliced(before, after, text) {
  const kept = after.length - text.length;
  if (kept < 0 || kept > before.length || after.length > 4096) return false;
  for (let i = 0; i <= kept; ++i) {
    const j = before.length - (kept - i);
    if (after.startsWith(before.slice(0, i)) && after.startsWith(text, i) &&
        after.endsWith(before.slice(j))) {
      return true;
    }
  }
  return false;
}

// The text the user's own action put in, or null when the page did it.
function usersText(event) {
  const type = event.inputType || '';
  const data = typeof event.data === 'string' ? event.data : '';
  if (type.startsWith('delete')) return key !== null || pasting ? '' : null;
  // The engine gives a paste's text; where it does not, the paste is taken whole.
  if (type === 'insertFromPaste') return pasting ? data : null;
  if (composing || event.isComposing) return data;
  if (key === null) return null;
  const own = data === key || ['Process', 'Dead', 'Unidentified'].includes(key);
  if (!own || [...data].length !== 1) return null;
  key = null;  // one character for one key
  return data;
}

const typed = new WeakMap();
window.addEventListener('input', (event) => {
  const field = event.target;
  if (!isPassword(field)) return;
  const value = field.value;
  const text = event.isTrusted ? usersText(event) : null;
  const before = typed.has(field) ? typed.get(field) : '';
  if (value === '') {
    typed.set(field, '');
  } else if (text !== null && (spliced(before, value, text) ||
                               (text === '' && event.inputType === 'insertFromPaste'))) {
    typed.set(field, value);
  } else {
    typed.delete(field);  // the page wrote in it: nothing of it is the user's
  }
}, true);

// The saved passwords put in, with where they were saved for.
const filled = new WeakMap();

const valuesOf = (fields) => ({
  username: fields.user ? fields.user.value : '',
  password: fields.password.value,
});

// A saved password goes nowhere else than where it was saved for, whatever
// the page changed since it went in.
function keepsItsDestination(form, fields, submitter) {
  const put = filled.get(fields.password);
  if (!put || fields.password.value !== put.password) return true;
  return actionOf(form, submitter) === put.action;
}

// Sent by the user: a real event while the user's action is fresh, with the
// password the user typed.
window.addEventListener('submit', (event) => {
  const form = event.target;
  if (!(form instanceof HTMLFormElement)) return;
  const fields = fieldsOf(form);
  if (fields && !keepsItsDestination(form, fields, event.submitter)) {
    event.preventDefault();
    fields.password.value = '';
    return;
  }
  if (!event.isTrusted || !fields || !fields.password.value) return;
  if (!navigator.userActivation || !navigator.userActivation.isActive) return;
  if (typed.get(fields.password) !== fields.password.value) return;
  const sent = valuesOf(fields);
  const action = actionOf(form, event.submitter);
  // A page that changes the fields while they are sent does not choose what is saved.
  setTimeout(() => {
    const now = valuesOf(fields);
    if (now.username !== sent.username || now.password !== sent.password) return;
    channel.postMessage({kind: 'submit', origin, action, ...sent});
  }, 0);
}, true);

function setValue(input, value) {
  input.value = value;
  input.dispatchEvent(new Event('input', {bubbles: true}));
  input.dispatchEvent(new Event('change', {bubbles: true}));
}

// The login form a password field belongs to now, with its fields.
function loginOf(password) {
  const form = password.isConnected ? ownerOf.call(password) : null;
  const fields = form ? fieldsOf(form) : null;
  return fields && fields.password === password ? {form, fields} : null;
}

// Puts the login the user chose in, if the field still goes where it was
// saved for.
function put(password, login, action) {
  const found = loginOf(password);
  if (!found || actionOf(found.form, null) !== action || !visible(password)) return;
  const {fields} = found;
  if (fields.user) setValue(fields.user, login.username);
  setValue(fields.password, login.password);
  typed.set(fields.password, login.password);
  filled.set(fields.password, {password: login.password, action});
}

// The field's place in the top frame's view.
function placeOf(field) {
  const box = field.getBoundingClientRect();
  let x = box.left, y = box.top;
  for (let w = window; w !== w.parent; w = w.parent) {
    const frame = w.frameElement.getBoundingClientRect();
    x += frame.left + w.frameElement.clientLeft;
    y += frame.top + w.frameElement.clientTop;
  }
  return {x, y, width: box.width, height: box.height};
}

// The program's list of saved logins opens under a login field the user
// clicks, reaches with Tab or presses the down arrow in: on the click, once
// the button is up, since the list takes the pointer and the page would
// never see that button go up. Nothing of a login is in the page before the
// user chooses it there.
let tabbed = false;
window.addEventListener('keydown', (event) => {
  if (event.isTrusted && event.key === 'Tab') forNow((on) => { tabbed = on; });
}, true);

async function choose(field, password) {
  const found = loginOf(password);
  if (!found || !visible(field)) return;
  const action = actionOf(found.form, null);
  const answer = await channel.postMessage({kind: 'choose', origin, action, ...placeOf(field)});
  if (answer && answer.login) put(password, answer.login, action);
}

const listened = new WeakSet();
function offerChoice(fields) {
  const password = fields.password;
  const open = (event) => {
    if (!event.isTrusted) return;
    if (event.type === 'keydown' && event.key !== 'ArrowDown') return;
    if (event.type === 'focus' && !tabbed) return;
    choose(event.currentTarget, password);
  };
  for (const field of [fields.user, password]) {
    if (!field || listened.has(field)) continue;
    listened.add(field);
    for (const type of ['click', 'keydown', 'focus']) field.addEventListener(type, open, true);
  }
}

// Each password field is asked about once for each place it goes.
const asked = new WeakMap();
async function offer(form) {
  const fields = fieldsOf(form);
  if (!fields) return;
  const action = actionOf(form, null);
  if (asked.get(fields.password) === action) return;
  asked.set(fields.password, action);
  const answer = await channel.postMessage({kind: 'find', origin, action});
  if (answer && answer.choose) offerChoice(fields);
}

function scan() {
  for (const form of Document.prototype.querySelectorAll.call(document, 'form')) offer(form);
}
// Forms that scripts add later are found too.
let pending = false;
new MutationObserver(() => {
  if (pending) return;
  pending = true;
  setTimeout(() => {
    pending = false;
    scan();
  }, 200);
}).observe(document, {childList: true, subtree: true, attributes: true,
                      attributeFilter: ['form', 'type', 'action']});
if (document.readyState === 'loading') {
  document.addEventListener('DOMContentLoaded', scan);
} else {
  scan();
}
})();
)js";
