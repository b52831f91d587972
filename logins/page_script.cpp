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
const attribute = (element, name) => Element.prototype.getAttribute.call(element, name);
const inputsOf = (form) => Array.from(Element.prototype.querySelectorAll.call(form, 'input'));
const textual = (input) => ['text', 'email', 'tel'].includes(input.type);

// The one password field of a login form and the username field before it.
function fieldsOf(form) {
  const inputs = inputsOf(form).filter((input) => !input.disabled);
  const passwords = inputs.filter((input) => input.type === 'password');
  if (passwords.length !== 1) return null;
  const before = inputs.slice(0, inputs.indexOf(passwords[0])).filter(textual);
  return {user: before.length ? before[before.length - 1] : null, password: passwords[0]};
}

function actionOf(form, submitter) {
  let target = attribute(form, 'action') || '';
  if (submitter && submitter.hasAttribute('formaction')) target = attribute(submitter, 'formaction');
  try {
    return new URL(target, document.baseURI).origin;
  } catch (e) {
    return 'null';
  }
}

// Seen by the user: not hidden, transparent, tiny or outside the view, nor
// in a frame that is.
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

// What the user typed or pasted into each password field, last.
const typed = new WeakMap();
window.addEventListener('input', (event) => {
  const field = event.target;
  if (event.isTrusted && field instanceof HTMLInputElement && field.type === 'password') {
    typed.set(field, field.value);
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
  const guarded = fieldsOf(form);
  if (guarded && !keepsItsDestination(form, guarded, event.submitter)) {
    event.preventDefault();
    guarded.password.value = '';
    return;
  }
  if (!event.isTrusted) return;
  if (!navigator.userActivation || !navigator.userActivation.isActive) return;
  const fields = fieldsOf(form);
  if (!fields || !fields.password.value) return;
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

// Puts a saved login in, if the form still goes where it was saved for.
function put(form, fields, login, action) {
  if (!fields.password.isConnected || actionOf(form, null) !== action) return;
  if (fields.user && !fields.user.value) setValue(fields.user, login.username);
  if (fields.password.value) return;
  setValue(fields.password, login.password);
  filled.set(fields.password, {password: login.password, action});
}

// A saved password waits for the user to press a key or a button in one of
// its form's fields while the form shows: until then the page's scripts
// cannot read it, and a form the user never sees never gets it.
const held = new Set();
function release(event) {
  if (!event.isTrusted) return;
  for (const hold of held) {
    const {form, fields, login, action} = hold;
    if (event.target !== fields.password && event.target !== fields.user) continue;
    if (!visible(fields.password)) continue;
    held.delete(hold);
    // A key typed into the empty field is the user's own password.
    const own = event.type === 'keydown' && event.target === fields.password &&
        event.key.length === 1;
    if (!own) put(form, fields, login, action);
  }
}
for (const type of ['pointerdown', 'keydown', 'touchstart']) {
  window.addEventListener(type, release, true);
}

function fill(form, fields, login, action) {
  if (fields.user && fields.user.value && fields.user.value !== login.username) return;
  if (fields.user && !fields.user.value && visible(fields.user)) {
    setValue(fields.user, login.username);
  }
  if (!fields.password.value) held.add({form, fields, login, action});
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

// The saved usernames open from the username field, by a click or the down
// arrow: on the click, once the button is up, since the list takes the
// pointer and the page would never see that button go up.
function offerChoice(form, fields) {
  const field = fields.user || fields.password;
  const choose = async (event) => {
    if (!event.isTrusted) return;
    if (event.type === 'keydown' && event.key !== 'ArrowDown') return;
    const action = actionOf(form, null);
    const answer = await channel.postMessage({kind: 'choose', origin, action, ...placeOf(field)});
    if (!answer || !answer.login || !visible(fields.password)) return;
    if (fields.user) fields.user.value = '';
    fields.password.value = '';
    put(form, fields, answer.login, action);
  };
  field.addEventListener('click', choose, true);
  field.addEventListener('keydown', choose, true);
}

const seen = new WeakSet();
// A form is taken once it has its password field, which some pages add later.
async function offer(form) {
  const fields = fieldsOf(form);
  if (!fields) return;
  seen.add(form);
  const action = actionOf(form, null);
  const answer = await channel.postMessage({kind: 'find', origin, action});
  if (!answer) return;
  if (answer.login) fill(form, fields, answer.login, action);
  if (answer.choose) offerChoice(form, fields);
}

function scan() {
  for (const form of Document.prototype.querySelectorAll.call(document, 'form')) {
    if (!seen.has(form)) offer(form);
  }
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
}).observe(document, {childList: true, subtree: true});
if (document.readyState === 'loading') {
  document.addEventListener('DOMContentLoaded', scan);
} else {
  scan();
}
})();
)js";
