// A picture box: a child window filled with its back colour and, when it has one, a picture
// drawn at its top-left corner. It tells its owner of mouse moves and clicks, and hands the
// notifications of its own child controls up to its parent, so buttons placed on it still
// reach the form's handlers.
#pragma once

#include <windows.h>

#include <functional>

#include "win_raii.h"

namespace quillon::app {

class PictureBox {
 public:
  enum class Event { MouseMove, Click };
  using Listener = std::function<void(Event)>;

  PictureBox() = default;
  ~PictureBox();
  PictureBox(const PictureBox&) = delete;
  PictureBox& operator=(const PictureBox&) = delete;

  static bool Register(HINSTANCE instance);

  // `picture` becomes the box's own; `back` is an explicit colour.
  bool Create(HWND parent, int id, const RECT& place, COLORREF back, GdiObject<HBITMAP> picture,
              Listener listener, DWORD extraStyle = 0, DWORD extraExStyle = 0);
  HWND hwnd() const { return hwnd_; }
  HBITMAP picture() const { return picture_.get(); }
  void SetVisible(bool visible);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void Paint(HDC dc);

  HWND hwnd_ = nullptr;
  COLORREF back_ = 0;
  GdiObject<HBITMAP> picture_;
  Listener listener_;
  bool pressed_ = false;
};

}  // namespace quillon::app
