// FormT, the program's one window: the path displays, the chooser, start and shell buttons.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "paths.h"
#include "projector.h"
#include "win_files.h"

namespace quillon::app {

// The window's controls, in the order the handlers name them.
enum class Control { cmdopath, cmdsel, cmdspath, cmdsave, cmdfile, cmdmemu, cmdc, cmdlink, picclose, kCount };

class FormT final : public convert::ConversionUi, public ChooserUi {
 public:
  static bool Register(HINSTANCE instance);
  HWND Create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }

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
  void OnClick(Control control);
  std::wstring Caption(Control control) const;
  void SetCaption(Control control, const std::wstring& text);
  HWND Item(Control control) const { return controls_[static_cast<std::size_t>(control)]; }

  HWND hwnd_ = nullptr;
  HBRUSH panelBrush_ = nullptr;
  std::array<HWND, static_cast<std::size_t>(Control::kCount)> controls_{};
  PathState paths_;
  WinFileSystem files_;
};

}  // namespace quillon::app
