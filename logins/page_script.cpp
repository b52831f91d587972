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

const valuesOf = (fields) => ({
  username: fields.user ? fields.user.value : '',
  password: fields.password.value,
});

// Sent by the user: a real event while the user's action is fresh.
window.addEventListener('submit', (event) => {
  const form = event.target;
  if (!event.isTrusted || !(form instanceof HTMLFormElement)) return;
  if (!navigator.userActivation || !navigator.userActivation.isActive) return;
  const fields = fieldsOf(form);
  if (!fields || !fields.password.value) return;
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

// A filled password waits for the user's first press of a key or a button in
// the page: until then the page's scripts cannot read it.
let held = null;
function release(event) {
  if (!event.isTrusted || !held) return;
  const {field, value} = held;
  held = null;
  // A key typed into the empty field is the user's own password.
  if (event.type === 'keydown' && event.target === field && event.key.length === 1) return;
  if (field.isConnected && !field.value) setValue(field, value);
}
for (const type of ['pointerdown', 'keydown', 'touchstart']) {
  window.addEventListener(type, release, true);
}

function fill(fields, login, hold) {
  if (fields.user && fields.user.value && fields.user.value !== login.username) return;
  if (fields.user && !fields.user.value) setValue(fields.user, login.username);
  if (fields.password.value) return;
  if (hold) {
    held = {field: fields.password, value: login.password};
  } else {
    setValue(fields.password, login.password);
  }
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
    const answer = await channel.postMessage(
        {kind: 'choose', origin, action: actionOf(form, null), ...placeOf(field)});
    if (!answer || !answer.login) return;
    if (fields.user) setValue(fields.user, answer.login.username);
    setValue(fields.password, answer.login.password);
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
  const answer = await channel.postMessage({kind: 'find', origin, action: actionOf(form, null)});
  if (!answer) return;
  if (answer.login) fill(fields, answer.login, true);
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
