// The form side of the skbutton container: the buttons of one form window, their tab order,
// keyboard routing (Tab, access keys, the default and cancel buttons), DisplayAsDefault, the
// property-changed notification and the form's own tooltip for its controls.
#pragma once

#include <windows.h>
#undef MessageBox

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "button_renderer.h"
#include "button_site.h"

namespace quillon::controls::win {

class ButtonForm {
 public:
  // form: the top-level window that holds the buttons (directly or on panels). Buttons draw
  // with their style painters unless another renderer factory is given.
  explicit ButtonForm(HWND form, RendererFactory renderer = MakeStyleRenderer);
  ~ButtonForm();
  ButtonForm(const ButtonForm&) = delete;
  ButtonForm& operator=(const ButtonForm&) = delete;

  // Places a button and loads it: from its stored bag, or as a new instance without one. Tab
  // order is the order of adding, buttons and other stops alike. The window is shown when the
  // placement asks for it.
  ButtonSite& Add(const ButtonPlacement& placement, const container::PropertyBag* bag,
                  ButtonEvents* events = nullptr);

  // Another of the form's controls (a picture box) that takes the focus in its place of the
  // tab order.
  void AddTabStop(HWND window);

  HWND hwnd() const { return form_; }
  const std::vector<std::unique_ptr<ButtonSite>>& sites() const { return sites_; }
  ButtonSite* Find(HWND window) const;

  // Run mode (true for the program; false only for a design surface).
  bool userMode = true;
  container::FontDescription ambientFont;
  // Called after every property change of a button, with the property's name.
  std::function<void(ButtonSite&, std::wstring_view)> propertyChanged;
  // Load failures and the like.
  std::function<void(ButtonSite&, std::wstring_view)> errorReported;

  // The default button takes Enter and the cancel button Esc, unless a button has the focus
  // and takes the key itself. Null clears.
  void SetDefault(ButtonSite* site);
  void SetCancel(ButtonSite* site);
  ButtonSite* defaultButton() const { return default_; }
  ButtonSite* cancelButton() const { return cancel_; }
  // Whether site shows as the default button: the focused button does, and with no button
  // focused the default button does.
  bool DisplaysAsDefault(const ButtonSite& site) const;

  // Call from the message loop before TranslateMessage; true: the message was used up.
  bool PreTranslateMessage(const MSG& msg);
  // Moves the focus from site to the next (or previous) stop that can take it.
  void MoveFocus(ButtonSite* from, bool forward);
  // The same from any window of the form (the focused one); one outside the order starts it.
  void MoveFocusFrom(HWND from, bool forward);
  // Processes every queued message, paints included (a WM_QUIT met on the way is put back).
  static void DoEvents();

  // The form's tooltip of a control (the extender's ToolTipText); empty removes it.
  void SetControlToolTip(ButtonSite& site, std::wstring_view text);
  HWND controlToolTips() const { return tips_; }

  // The button that takes the typed character as its access key, in either case; null for none.
  ButtonSite* ByAccessKey(wchar_t key) const;

  // Sites report focus changes here so the DisplayAsDefault ambient follows.
  void FocusChanged();

  // The buttons' windows go before the form's: the form calls this on its own WM_DESTROY.
  void DestroyAll();

 private:
  friend class ButtonSite;
  ButtonSite* Focused() const;

  HWND form_;
  RendererFactory renderer_;
  std::vector<std::unique_ptr<ButtonSite>> sites_;
  // Every stop in tab order: a button's site, or another window with a null site.
  struct TabStop {
    ButtonSite* site;
    HWND window;
  };
  std::vector<TabStop> tabOrder_;
  ButtonSite* default_ = nullptr;
  ButtonSite* cancel_ = nullptr;
  std::vector<const ButtonSite*> shownAsDefault_;
  HWND tips_ = nullptr;
};

}  // namespace quillon::controls::win
