// The Win32 container of one skbutton: its child window, the Site services over real windows,
// the window services (hooks, leave tracking, theme probe, tooltip) and the translation of
// window messages into the control's input entry points.
#pragma once

#include <windows.h>
// Site::MessageBox is a member name, not the user32 macro.
#undef MessageBox

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "back_buffer.h"
#include "skbutton.h"
#include "tooltip.h"
#include "window_services.h"

namespace quillon::controls::win {

class ButtonForm;
class ButtonSite;

// Draws the control. The site hands every Redraw and RebuildRegion of the control to the renderer
// made by this factory; the renderer paints into the site's back buffer (BackBufferDc) and the site
// shows that buffer on WM_PAINT. Without a factory the control draws nothing.
using RendererFactory = std::function<std::unique_ptr<Renderer>(ButtonSite& site)>;

// Where and how a button is placed on its form.
struct ButtonPlacement {
  std::wstring name;        // the control's name on the form (its DisplayName)
  HWND parent = nullptr;    // the form or a panel on it; null: the form itself
  RECT bounds{};            // pixels, in the parent's client coordinates
  int id = 0;               // child-window identifier
  bool visible = true;
};

class ButtonSite final : public container::Site, public WindowServices, private winsvc::SubclassTarget {
 public:
  static constexpr wchar_t kClassName[] = L"QuillonSkButton";

  // Creates the child window and the control (creation sequence); the form then loads it.
  ButtonSite(ButtonForm& form, const ButtonPlacement& placement, const RendererFactory& renderer);
  ~ButtonSite() override;
  ButtonSite(const ButtonSite&) = delete;
  ButtonSite& operator=(const ButtonSite&) = delete;

  skbutton* control() const { return control_.get(); }
  HWND hwnd() const { return window_; }
  const std::wstring& name() const { return name_; }
  const std::wstring& accessKeys() const { return accessKeys_; }
  const std::wstring& extenderToolTipText() const { return extenderToolTip_; }
  const winsvc::ToolTip& toolTip() const { return toolTip_; }
  const winsvc::WindowServices& windowServices() const { return services_; }
  // Accepts input: an enabled, visible window.
  bool CanTakeFocus() const;

  // The back buffer the renderer draws into, sized to the client area; null before the first
  // paint or when the window has no area.
  HDC BackBufferDc();
  int BufferWidth() const { return buffer_.width(); }
  int BufferHeight() const { return buffer_.height(); }
  // Shows the back buffer: at once, or with the paint in progress.
  void Present();

  // The form calls these when focus or the default button change.
  void AmbientChanged(std::wstring_view name);

  // ---- container::Site ----
  bool UserMode() const override;
  bool DisplayAsDefault() const override;
  container::FontDescription AmbientFont() const override;
  std::wstring DisplayName() const override { return name_; }
  void PropertyChanged(std::wstring_view name) override;
  void ReportError(std::wstring_view message) override;
  void SetAccessKeys(std::wstring_view keys) override;
  void MoveFocus(bool forward) override;
  void DoEvents() override;
  std::uint32_t SystemColour(int index) const override { return GetSysColor(index); }
  container::WindowHandle Window() const override { return winsvc::ToHandle(window_); }
  container::WindowHandle ParentWindow() const override;
  container::WindowHandle ContainerWindow() const override;
  std::optional<bool> ParentIsMdiChild() const override;
  std::vector<container::Control*> FormControls() const override;
  void SetWindowEnabled(bool enabled) override;
  container::Extent GetExtent() const override;
  void SetExtent(container::Extent extent) override;
  double ScaleWidth() const override;
  double ScaleHeight() const override;
  void Refresh() override;
  std::int16_t MousePointer() const override { return mousePointer_; }
  void SetMousePointer(std::int16_t code) override { mousePointer_ = code; }
  container::PicturePtr MouseIcon() const override { return mouseIcon_; }
  void SetMouseIcon(container::PicturePtr icon) override {
    mouseIcon_ = std::move(icon);
    iconCursor_.reset();
  }
  std::uintptr_t LoadHandCursor() override;
  void SetCursor(std::uintptr_t cursor) override;
  bool CursorOverControl() const override;
  bool HasCapture() const override { return GetCapture() == window_; }
  void SetCapture() override { ::SetCapture(window_); }
  void ReleaseCapture() override;
  void ShowPopupMenu(const container::Menu& menu, float x, float y, std::int32_t flags,
                     const container::Menu* defaultItem) override;
  void MessageBox(std::wstring_view text, std::wstring_view title, container::MessageBoxIcon icon) override;
  void ShellOpen(std::wstring_view address) override;
  void SetExtenderToolTipText(std::wstring_view text) override;
  bool IsNtPlatform() const override;
  void LoadShellLibrary() override;
  void FreeShellLibrary() override;

  // ---- WindowServices (the control's seam) ----
  bool IsFunctionExported(std::wstring_view function, std::wstring_view module) override;
  bool HookWindow(std::uintptr_t window) override;
  void HookMessage(std::uintptr_t window, std::uint32_t message, int phase) override;
  void UnhookAll() override { services_.UnhookAll(); }
  void TrackMouseLeave(std::uintptr_t window) override;
  bool IsThemed() override { return services_.IsThemed(); }
  void CreateToolTip() override;

 private:
  friend class ButtonForm;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Subclass_WndProc(bool before, bool& handled, winsvc::LResult& result, winsvc::WindowHandle& window,
                        winsvc::MessageNumber& message, winsvc::WParam& wParam, winsvc::LParam& lParam) override;
  void OnPaint();
  void OnSetCursor();
  void DestroyControl();

  struct CursorFree {
    void operator()(HCURSOR cursor) const { DestroyCursor(cursor); }
  };
  // The cursor made from MouseIcon for pointer 99 (made when first shown).
  HCURSOR IconCursor();

  struct LibraryFree {
    void operator()(HMODULE module) const { FreeLibrary(module); }
  };

  ButtonForm& form_;
  std::wstring name_;
  HWND window_ = nullptr;
  std::wstring accessKeys_;
  std::wstring extenderToolTip_;
  std::int16_t mousePointer_ = container::kPointerDefault;
  container::PicturePtr mouseIcon_;
  std::unique_ptr<std::remove_pointer_t<HCURSOR>, CursorFree> iconCursor_;
  std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree> shellLibrary_;
  winsvc::WindowServices services_;
  winsvc::ToolTip toolTip_;
  BackBuffer buffer_;
  // Mouse buttons pressed on this window and not yet released: the control hears only releases
  // of its own presses, as a form container delivers them.
  std::int16_t pressed_ = 0;
  bool painting_ = false;
  bool resizing_ = false;
  std::unique_ptr<Renderer> renderer_;
  std::unique_ptr<skbutton> control_;  // last: destroyed first, while the services still exist
};

}  // namespace quillon::controls::win
