// The script that finds login forms in a page and fills in the login the
// user chooses. It runs in a
// script world of its own, which the page's scripts can neither see nor
// change; it talks to the program through the channel below, with replies.
#pragma once

constexpr char kLoginWorld[] = "tavorin-logins";
constexpr char kLoginChannel[] = "tavorinLogins";

// Sends, on a form submitted by the user ({kind: "submit", origin, action,
// username, password}); asks, for each login form ({kind: "find", origin,
// action}) and when the user opens the list of saved logins at one of its
// fields ({kind: "choose", origin, action, x, y, width, height}, the field's
// place in the view). Replies: {choose: true} when there are saved logins to
// list, {login: {username, password}} with the one the user chose, null for
// nothing.
extern const char kLoginPageScript[];
