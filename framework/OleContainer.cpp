#include "framework/OleContainer.h"

TOleContainer::TOleContainer(TComponent* owner) : TWinControl(owner) {
  color_ = clWindow;
  RegisterOwnClass(L"X2ZOleContainer");
  CreateHandle(L"X2ZOleContainer", WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, WS_EX_CLIENTEDGE);
  SetBoundsRaw(0, 0, 121, 121);
}

LRESULT TOleContainer::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND) {
    RECT r{};
    GetClientRect(Handle(), &r);
    FillRect(reinterpret_cast<HDC>(wParam), &r, ColorBrush());
    return 1;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
