#pragma once
// Input to a combo box through the messages the user's keyboard and mouse
// give it, posted and then handled.
#include <windows.h>

#include <string>

#include "framework/Application.h"
#include "framework/ComboBox.h"

inline COMBOBOXINFO ComboParts(const TComboBox* c) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  GetComboBoxInfo(c->Handle(), &info);
  return info;
}

// Types text into the edit field of an editable combo box.
inline void PostTyping(const TComboBox* c, const std::wstring& text) {
  const HWND edit = ComboParts(c).hwndItem;
  for (wchar_t ch : text) PostMessageW(edit, WM_CHAR, ch, 1);
  Application->ProcessMessages();
}

// Clicks an entry of the open list.
inline void PostListClick(const TComboBox* c, int index) {
  const HWND list = ComboParts(c).hwndList;
  RECT r{};
  SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageW(list, WM_MOUSEMOVE, 0, at);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
  Application->ProcessMessages();
}
