// Keyboard input and message-queue services. The keystroke player calls the
// free functions below; they forward to whichever services are installed, so
// tests can put a recorder in place of the GTK-backed ones.
#pragma once

#include "platform/wintypes.h"

class KeyboardServices {
 public:
  virtual ~KeyboardServices() = default;
  virtual void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra) = 0;
  virtual UINT MapVirtualKeyA(UINT code, UINT map_type) = 0;
  virtual SHORT VkKeyScanA(char ch) = 0;
  virtual SHORT GetKeyState(int vk) = 0;
  virtual BOOL GetKeyboardState(BYTE* state) = 0;
  virtual BOOL SetKeyboardState(BYTE* state) = 0;
  virtual BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove) = 0;
  virtual BOOL TranslateMessage(const MSG* msg) = 0;
  virtual LRESULT DispatchMessageA(const MSG* msg) = 0;
  virtual int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) = 0;
};

// Installs `services` (not owned) and returns the ones it replaces. Calls made
// while none are installed throw std::logic_error.
KeyboardServices* SetKeyboardServices(KeyboardServices* services);
KeyboardServices& CurrentKeyboardServices();

void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra);
UINT MapVirtualKeyA(UINT code, UINT map_type);
SHORT VkKeyScanA(char ch);
SHORT GetKeyState(int vk);
BOOL GetKeyboardState(BYTE* state);
BOOL SetKeyboardState(BYTE* state);
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// The standard US layout, as that platform answers it; shared by every
// implementation of the services.
namespace keylayout {
// Character to key code (virtual key, Shift 0x100, Ctrl 0x200, Alt 0x400), or
// 0xFFFF when no key types it.
SHORT CharToKeyCode(char ch);
// Virtual key to set-1 scan code, 0 when the key has none.
UINT ScanCodeOf(UINT vk);
// Scan code back to virtual key, 0 when unknown.
UINT VirtualKeyOfScan(UINT scan);
// The character a key types with Shift held or not (no Ctrl/Alt), 0 if none.
char CharOf(BYTE vk, bool shift);
}  // namespace keylayout
