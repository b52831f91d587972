// The handful of integer types, message numbers and key constants that the
// keyboard and message-queue services speak. No toolkit header here: the
// keystroke player builds against this alone.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using SHORT = std::int16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using HWND = void*;  // the toplevel GdkWindow a message is meant for

constexpr BOOL FALSE_ = 0;

struct POINT {
  LONG x = 0;
  LONG y = 0;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

// Message numbers.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_DEADCHAR = 0x0103;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_SYSDEADCHAR = 0x0107;
constexpr UINT WM_KEYLAST = 0x0108;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MOUSEWHEEL = 0x020A;

// PeekMessage.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// keybd_event flags.
constexpr DWORD KEYEVENTF_EXTENDEDKEY = 0x0001;
constexpr DWORD KEYEVENTF_KEYUP = 0x0002;

// MessageBox.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONSTOP = 0x00000010;
constexpr int IDOK = 1;

// Virtual keys used by name somewhere in the program.
constexpr BYTE VK_CANCEL = 0x03;
constexpr BYTE VK_BACK = 0x08;
constexpr BYTE VK_TAB = 0x09;
constexpr BYTE VK_CLEAR = 0x0C;
constexpr BYTE VK_RETURN = 0x0D;
constexpr BYTE VK_SHIFT = 0x10;
constexpr BYTE VK_CONTROL = 0x11;
constexpr BYTE VK_MENU = 0x12;
constexpr BYTE VK_PAUSE = 0x13;
constexpr BYTE VK_CAPITAL = 0x14;
constexpr BYTE VK_ESCAPE = 0x1B;
constexpr BYTE VK_SPACE = 0x20;
constexpr BYTE VK_PRIOR = 0x21;
constexpr BYTE VK_NEXT = 0x22;
constexpr BYTE VK_END = 0x23;
constexpr BYTE VK_HOME = 0x24;
constexpr BYTE VK_LEFT = 0x25;
constexpr BYTE VK_UP = 0x26;
constexpr BYTE VK_RIGHT = 0x27;
constexpr BYTE VK_DOWN = 0x28;
constexpr BYTE VK_SELECT = 0x29;
constexpr BYTE VK_PRINT = 0x2A;
constexpr BYTE VK_SNAPSHOT = 0x2C;
constexpr BYTE VK_INSERT = 0x2D;
constexpr BYTE VK_DELETE = 0x2E;
constexpr BYTE VK_HELP = 0x2F;
constexpr BYTE VK_LWIN = 0x5B;
constexpr BYTE VK_RWIN = 0x5C;
constexpr BYTE VK_APPS = 0x5D;
constexpr BYTE VK_NUMPAD0 = 0x60;
constexpr BYTE VK_MULTIPLY = 0x6A;
constexpr BYTE VK_ADD = 0x6B;
constexpr BYTE VK_SUBTRACT = 0x6D;
constexpr BYTE VK_DECIMAL = 0x6E;
constexpr BYTE VK_DIVIDE = 0x6F;
constexpr BYTE VK_F1 = 0x70;
constexpr BYTE VK_F16 = 0x7F;
constexpr BYTE VK_F24 = 0x87;
constexpr BYTE VK_NUMLOCK = 0x90;
constexpr BYTE VK_SCROLL = 0x91;
constexpr BYTE VK_LSHIFT = 0xA0;
constexpr BYTE VK_RSHIFT = 0xA1;
constexpr BYTE VK_LCONTROL = 0xA2;
constexpr BYTE VK_RCONTROL = 0xA3;
constexpr BYTE VK_LMENU = 0xA4;
constexpr BYTE VK_RMENU = 0xA5;
constexpr BYTE VK_OEM_1 = 0xBA;
constexpr BYTE VK_OEM_PLUS = 0xBB;
constexpr BYTE VK_OEM_COMMA = 0xBC;
constexpr BYTE VK_OEM_MINUS = 0xBD;
constexpr BYTE VK_OEM_PERIOD = 0xBE;
constexpr BYTE VK_OEM_2 = 0xBF;
constexpr BYTE VK_OEM_3 = 0xC0;
constexpr BYTE VK_OEM_4 = 0xDB;
constexpr BYTE VK_OEM_5 = 0xDC;
constexpr BYTE VK_OEM_6 = 0xDD;
constexpr BYTE VK_OEM_7 = 0xDE;
