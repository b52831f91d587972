#include "platform/keyboard.h"

#include <array>
#include <stdexcept>

namespace {

KeyboardServices* g_services = nullptr;

// Row by row the US keyboard: the unshifted and shifted character of each key
// that types one, with its virtual key.
struct CharKey {
  char plain;
  char shifted;
  BYTE vk;
};

constexpr std::array<CharKey, 21> kPunctuation{{
    {'0', ')', 0x30},         {'1', '!', 0x31},         {'2', '@', 0x32},
    {'3', '#', 0x33},         {'4', '$', 0x34},         {'5', '%', 0x35},
    {'6', '^', 0x36},         {'7', '&', 0x37},         {'8', '*', 0x38},
    {'9', '(', 0x39},         {';', ':', VK_OEM_1},     {'=', '+', VK_OEM_PLUS},
    {',', '<', VK_OEM_COMMA}, {'-', '_', VK_OEM_MINUS}, {'.', '>', VK_OEM_PERIOD},
    {'/', '?', VK_OEM_2},     {'`', '~', VK_OEM_3},     {'[', '{', VK_OEM_4},
    {'\\', '|', VK_OEM_5},    {']', '}', VK_OEM_6},     {'\'', '"', VK_OEM_7},
}};

// Control characters that have a key of their own rather than Ctrl+letter.
struct ControlKey {
  char ch;
  SHORT code;
};

constexpr std::array<ControlKey, 9> kControlChars{{
    {'\b', VK_BACK},
    {'\t', VK_TAB},
    {'\n', 0x200 | VK_RETURN},
    {'\r', VK_RETURN},
    {'\x1b', VK_ESCAPE},
    {'\x1c', 0x200 | VK_OEM_5},
    {'\x1d', 0x200 | VK_OEM_6},
    {'\x1e', 0x300 | 0x36},
    {'\x1f', 0x300 | VK_OEM_MINUS},
}};

struct ScanEntry {
  BYTE vk;
  BYTE scan;
};

// Set-1 scan codes. Extended keys share the scan code of their keypad twin;
// the extended flag tells them apart.
constexpr ScanEntry kScanCodes[] = {
    {VK_CANCEL, 0x46},     {VK_BACK, 0x0E},     {VK_TAB, 0x0F},       {VK_CLEAR, 0x4C},
    {VK_RETURN, 0x1C},     {VK_SHIFT, 0x2A},    {VK_CONTROL, 0x1D},   {VK_MENU, 0x38},
    {VK_PAUSE, 0x45},      {VK_CAPITAL, 0x3A},  {VK_ESCAPE, 0x01},    {VK_SPACE, 0x39},
    {VK_PRIOR, 0x49},      {VK_NEXT, 0x51},     {VK_END, 0x4F},       {VK_HOME, 0x47},
    {VK_LEFT, 0x4B},       {VK_UP, 0x48},       {VK_RIGHT, 0x4D},     {VK_DOWN, 0x50},
    {VK_SNAPSHOT, 0x54},   {VK_INSERT, 0x52},   {VK_DELETE, 0x53},    {VK_HELP, 0x63},
    {0x30, 0x0B},          {0x31, 0x02},        {0x32, 0x03},         {0x33, 0x04},
    {0x34, 0x05},          {0x35, 0x06},        {0x36, 0x07},         {0x37, 0x08},
    {0x38, 0x09},          {0x39, 0x0A},        {'A', 0x1E},          {'B', 0x30},
    {'C', 0x2E},           {'D', 0x20},         {'E', 0x12},          {'F', 0x21},
    {'G', 0x22},           {'H', 0x23},         {'I', 0x17},          {'J', 0x24},
    {'K', 0x25},           {'L', 0x26},         {'M', 0x32},          {'N', 0x31},
    {'O', 0x18},           {'P', 0x19},         {'Q', 0x10},          {'R', 0x13},
    {'S', 0x1F},           {'T', 0x14},         {'U', 0x16},          {'V', 0x2F},
    {'W', 0x11},           {'X', 0x2D},         {'Y', 0x15},          {'Z', 0x2C},
    {VK_LWIN, 0x5B},       {VK_RWIN, 0x5C},     {VK_APPS, 0x5D},      {VK_NUMPAD0, 0x52},
    {0x61, 0x4F},          {0x62, 0x50},        {0x63, 0x51},         {0x64, 0x4B},
    {0x65, 0x4C},          {0x66, 0x4D},        {0x67, 0x47},         {0x68, 0x48},
    {0x69, 0x49},          {VK_MULTIPLY, 0x37}, {VK_ADD, 0x4E},       {VK_SUBTRACT, 0x4A},
    {VK_DECIMAL, 0x53},    {VK_DIVIDE, 0x35},   {0x70, 0x3B},         {0x71, 0x3C},
    {0x72, 0x3D},          {0x73, 0x3E},        {0x74, 0x3F},         {0x75, 0x40},
    {0x76, 0x41},          {0x77, 0x42},        {0x78, 0x43},         {0x79, 0x44},
    {0x7A, 0x57},          {0x7B, 0x58},        {0x7C, 0x64},         {0x7D, 0x65},
    {0x7E, 0x66},          {0x7F, 0x67},        {VK_NUMLOCK, 0x45},   {VK_SCROLL, 0x46},
    {VK_OEM_1, 0x27},      {VK_OEM_PLUS, 0x0D}, {VK_OEM_COMMA, 0x33}, {VK_OEM_MINUS, 0x0C},
    {VK_OEM_PERIOD, 0x34}, {VK_OEM_2, 0x35},    {VK_OEM_3, 0x29},     {VK_OEM_4, 0x1A},
    {VK_OEM_5, 0x2B},      {VK_OEM_6, 0x1B},    {VK_OEM_7, 0x28},     {VK_LSHIFT, 0x2A},
    {VK_RSHIFT, 0x36},     {VK_LCONTROL, 0x1D}, {VK_LMENU, 0x38},
};

}  // namespace

KeyboardServices* SetKeyboardServices(KeyboardServices* services) {
  KeyboardServices* previous = g_services;
  g_services = services;
  return previous;
}

KeyboardServices& CurrentKeyboardServices() {
  if (g_services == nullptr) throw std::logic_error("no keyboard services installed");
  return *g_services;
}

void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra) {
  CurrentKeyboardServices().keybd_event(vk, scan, flags, extra);
}
UINT MapVirtualKeyA(UINT code, UINT map_type) {
  return CurrentKeyboardServices().MapVirtualKeyA(code, map_type);
}
SHORT VkKeyScanA(char ch) { return CurrentKeyboardServices().VkKeyScanA(ch); }
SHORT GetKeyState(int vk) { return CurrentKeyboardServices().GetKeyState(vk); }
BOOL GetKeyboardState(BYTE* state) { return CurrentKeyboardServices().GetKeyboardState(state); }
BOOL SetKeyboardState(BYTE* state) { return CurrentKeyboardServices().SetKeyboardState(state); }
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove) {
  return CurrentKeyboardServices().PeekMessageA(msg, hwnd, first, last, remove);
}
BOOL TranslateMessage(const MSG* msg) { return CurrentKeyboardServices().TranslateMessage(msg); }
LRESULT DispatchMessageA(const MSG* msg) { return CurrentKeyboardServices().DispatchMessageA(msg); }
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  return CurrentKeyboardServices().MessageBoxA(owner, text, caption, type);
}

namespace keylayout {

SHORT CharToKeyCode(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') return static_cast<SHORT>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return static_cast<SHORT>(0x100 | c);
  if (c == ' ') return VK_SPACE;
  for (const CharKey& k : kPunctuation) {
    if (k.plain == ch) return k.vk;
    if (k.shifted == ch) return static_cast<SHORT>(0x100 | k.vk);
  }
  for (const ControlKey& k : kControlChars) {
    if (k.ch == ch) return k.code;
  }
  if (c >= 0x01 && c <= 0x1A) return static_cast<SHORT>(0x200 | (c - 1 + 'A'));
  if (c == 0x7F) return static_cast<SHORT>(0x200 | VK_BACK);
  return static_cast<SHORT>(0xFFFF);
}

UINT ScanCodeOf(UINT vk) {
  for (const ScanEntry& e : kScanCodes) {
    if (e.vk == vk) return e.scan;
  }
  return 0;
}

UINT VirtualKeyOfScan(UINT scan) {
  for (const ScanEntry& e : kScanCodes) {
    if (e.scan == scan) return e.vk;
  }
  return 0;
}

char CharOf(BYTE vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : vk - 'A' + 'a');
  if (vk == VK_SPACE) return ' ';
  if (vk == VK_RETURN) return '\r';
  if (vk == VK_TAB) return '\t';
  if (vk == VK_BACK) return '\b';
  if (vk == VK_ESCAPE) return '\x1b';
  for (const CharKey& k : kPunctuation) {
    if (k.vk == vk) return shift ? k.shifted : k.plain;
  }
  return 0;
}

}  // namespace keylayout
