// FormT, the program's one window: the title strip with its close glyph, and the panel
// with the path displays, the chooser, start and shell buttons.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "button_form.h"
#include "form_design.h"
#include "paths.h"
#include "picture_box.h"
#include "projector.h"
#include "shell_actions.h"
#include "win_files.h"
#include "win_raii.h"
#include "win_shell.h"

namespace quillon::app {

// The panel's buttons.
enum class Control { cmdsel, cmdopath, cmdspath, cmdc, cmdfile, cmdmemu, cmdsave, cmdlink, kCount };

// The names of the panel's buttons in the stored design, in the order of Control.
inline constexpr const wchar_t* kControlNames[] = {L"cmdsel",  L"cmdopath", L"cmdspath", L"cmdc",
                                                   L"cmdfile", L"cmdmemu",  L"cmdsave",  L"cmdlink"};

class FormT final : public convert::ConversionUi, public ChooserUi {
 public:
  FormT() : shell_(&systemShell_) {}
  // Shell actions go to `shell` instead of the system (tests).
  explicit FormT(Shell& shell) : shell_(&shell) {}
  ~FormT() override;
  FormT(const FormT&) = delete;
  FormT& operator=(const FormT&) = delete;

  static bool Register(HINSTANCE instance);
  // Creates the window with its controls from the stored design of the module and runs
  // Load; the window is not shown yet. Null when the design is missing or unusable.
  HWND Create(HINSTANCE instance);
  // The design the window was built from (after Create).
  const FormDesign& Design() const { return *design_; }
  HWND hwnd() const { return hwnd_; }

  // Unload: puts the window procedure back and destroys the window.
  void Unload();

  // Keyboard routing among the buttons (Tab, access keys); call from the message loop before
  // TranslateMessage. True: the message was used up.
  bool PreTranslateMessage(const MSG& msg);

  // The button's window and the control itself (after Create).
  HWND Item(Control control) const;
  controls::skbutton& Button(Control control) const;
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
  // The drawn control (image or label) topmost at the point of the window's surface.
  const container::FormObject* DrawnControlAt(POINT at) const;
  RECT PlaceInPixels(const container::FormObject& object) const;
  // The window of the picture box of that name; null for any other control.
  HWND PictureBoxWindow(std::wstring_view name) const;
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
  std::unique_ptr<FormDesign> design_;
  double twipsPerPixelX_ = 15, twipsPerPixelY_ = 15;
  struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
  };
  std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter> bigIcon_, smallIcon_;
  PictureBox picture3_, picclose1_, picclose2_;
  // The child that had the focus when the window was last deactivated.
  HWND lastFocus_ = nullptr;
  UniqueWindow closeTip_;
  // Every handler of the panel hangs on a button's Click.
  struct ClickHandler final : controls::ButtonEvents {
    FormT* form = nullptr;
    Control control = Control::kCount;
    void Click() override { form->OnClick(control); }
  };
  // Declared before the buttons so that they outlive them.
  std::array<ClickHandler, static_cast<std::size_t>(Control::kCount)> clickHandlers_{};
  std::unique_ptr<controls::win::ButtonForm> buttons_;
  std::array<controls::win::ButtonSite*, static_cast<std::size_t>(Control::kCount)> sites_{};
  PathState paths_;
  WinFileSystem files_;
  WinShell systemShell_;
  Shell* shell_;
};

}  // namespace quillon::app
