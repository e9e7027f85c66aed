// FormT, the program's one window: the title strip with its close glyph, and the panel
// with the path displays, the chooser, start and shell buttons.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "paths.h"
#include "picture_box.h"
#include "projector.h"
#include "shell_actions.h"
#include "win_files.h"
#include "win_raii.h"
#include "win_shell.h"

namespace quillon::app {

// The panel's buttons, in tab order.
enum class Control { cmdsel, cmdopath, cmdspath, cmdc, cmdfile, cmdmemu, cmdsave, cmdlink, kCount };

// Places on the window, in pixels (window client coordinates unless said otherwise).
namespace layout {
inline constexpr int kClientWidth = 319, kClientHeight = 196;
inline constexpr RECT kPicture3{0, 31, 321, 200};
inline constexpr RECT kPicClose{272, 8, 314, 27};
inline constexpr RECT kImage1{8, 7, 28, 27};
inline constexpr RECT kLabel1{32, 8, 144, 24};
inline constexpr RECT kImage2{0, 0, 320, 31};
inline constexpr COLORREF kPanelColour = RGB(0x80, 0x80, 0xFF);
// The title strip's gradient, shared with the glyph pictures' corners.
inline constexpr COLORREF kStripTop = RGB(58, 52, 168), kStripBottom = RGB(118, 112, 228);
}  // namespace layout

class FormT final : public convert::ConversionUi, public ChooserUi {
 public:
  FormT() : shell_(&systemShell_) {}
  // Shell actions go to `shell` instead of the system (tests).
  explicit FormT(Shell& shell) : shell_(&shell) {}
  ~FormT() override;
  FormT(const FormT&) = delete;
  FormT& operator=(const FormT&) = delete;

  static bool Register(HINSTANCE instance);
  // Creates the window with its controls and runs Load; the window is not shown yet.
  HWND Create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }

  // Unload: puts the window procedure back and destroys the window.
  void Unload();

  HWND Item(Control control) const { return controls_[static_cast<std::size_t>(control)]; }
  HWND Picture3() const { return picture3_.hwnd(); }
  HWND PicClose1() const { return picclose1_.hwnd(); }
  HWND PicClose2() const { return picclose2_.hwnd(); }
  HWND CloseTooltip() const { return closeTip_.get(); }

  // convert::ConversionUi
  std::wstring InputDisplay() override { return Caption(Control::cmdopath); }
  std::wstring OutputDisplay() override { return Caption(Control::cmdspath); }
  void ClearOutputDisplay() override { SetCaption(Control::cmdspath, L""); }
  void SetEnabled(convert::Button button, bool enabled) override;
  void ShowMessage(const std::wstring& text) override;
  std::span<const std::uint8_t> Stub() override { return EmbeddedStub(); }

  // ChooserUi
  std::wstring ChooseOpenFile(const std::wstring& filter, const std::wstring& byDefault) override;
  std::wstring ChooseSaveFile(const std::wstring& filter, const std::wstring& byDefault) override;
  std::wstring ListedName(const std::wstring& path) override;
  void SetInputDisplay(const std::wstring& text) override { SetCaption(Control::cmdopath, text); }
  void SetOutputDisplay(const std::wstring& text) override { SetCaption(Control::cmdspath, text); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void Load();
  void AddCloseTooltip();
  void infor();
  void Paint(HDC dc);
  void OnClick(Control control);
  void OnFormMouseMove(POINT at);

  // The close glyph's handlers.
  void Image2_MouseMove();
  void Picture3_MouseMove();
  void picclose1_MouseMove();
  void picclose2_Click();

  std::wstring Caption(Control control) const;
  void SetCaption(Control control, const std::wstring& text);

  HWND hwnd_ = nullptr;
  PictureBox picture3_, picclose1_, picclose2_;
  UniqueWindow closeTip_;
  std::array<HWND, static_cast<std::size_t>(Control::kCount)> controls_{};
  PathState paths_;
  WinFileSystem files_;
  WinShell systemShell_;
  Shell* shell_;
};

}  // namespace quillon::app
