// A button on an in-memory form, with a renderer, window services and an event sink that
// all write into the form's log, so a test sees every call in the order it happened.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "skbutton.h"
#include "test_container.h"

namespace quillon::controls::testing {

using container::TestForm;
using container::TestSite;

class RecordingRenderer : public Renderer {
 public:
  RecordingRenderer(TestForm& form, const skbutton*& button) : form_(form), button_(button) {}
  void Redraw() override {
    form_.log.push_back("redraw");
    if (button_ != nullptr) drawnStates.push_back(button_->State());
  }
  void RebuildRegion() override {
    form_.log.push_back("region");
    if (button_ != nullptr) backAtRegion.push_back(button_->BackColor());
  }
  std::vector<std::int32_t> drawnStates;
  std::vector<OleColour> backAtRegion;

 private:
  TestForm& form_;
  const skbutton*& button_;
};

class FakeServices : public WindowServices {
 public:
  explicit FakeServices(TestForm& form) : form_(form) {}
  bool trackMouseEvent = true;
  bool themed = true;
  bool hookFails = false;
  bool IsFunctionExported(std::wstring_view function, std::wstring_view module) override {
    form_.log.push_back("probe:" + container::Narrow(function) + "@" + container::Narrow(module));
    return trackMouseEvent;
  }
  bool HookWindow(std::uintptr_t window) override {
    form_.log.push_back("hook:" + std::to_string(window));
    return !hookFails;
  }
  void HookMessage(std::uintptr_t window, std::uint32_t message, int phase) override {
    form_.log.push_back("message:" + std::to_string(window) + ":" + std::to_string(message) + ":" +
                        std::to_string(phase));
  }
  void UnhookAll() override { form_.log.push_back("unhookall"); }
  void TrackMouseLeave(std::uintptr_t window) override { form_.log.push_back("track:" + std::to_string(window)); }
  bool IsThemed() override { return themed; }
  void CreateToolTip() override { form_.log.push_back("tooltip"); }

 private:
  TestForm& form_;
};

class EventRecorder : public ButtonEvents {
 public:
  std::vector<std::string> events;
  void Click() override { events.push_back("Click"); }
  void DblClick() override { events.push_back("DblClick"); }
  void MouseEnter() override { events.push_back("MouseEnter"); }
  void MouseLeave() override { events.push_back("MouseLeave"); }
  void MouseUp(std::int16_t& b, std::int16_t& s, float& x, float& y) override {
    events.push_back("MouseUp(" + Args(b, s, x, y) + ")");
  }
  void MouseDown(std::int16_t& b, std::int16_t& s, float& x, float& y) override {
    events.push_back("MouseDown(" + Args(b, s, x, y) + ")");
  }
  void KeyDown(std::int16_t& k, std::int16_t& s) override {
    events.push_back("KeyDown(" + std::to_string(k) + "," + std::to_string(s) + ")");
  }
  void KeyUp(std::int16_t& k, std::int16_t& s) override {
    events.push_back("KeyUp(" + std::to_string(k) + "," + std::to_string(s) + ")");
  }
  void KeyPress(std::int16_t& k) override { events.push_back("KeyPress(" + std::to_string(k) + ")"); }

 private:
  static std::string Args(std::int16_t b, std::int16_t s, float x, float y) {
    return std::to_string(b) + "," + std::to_string(s) + "," + std::to_string(static_cast<int>(x)) + "," +
           std::to_string(static_cast<int>(y));
  }
};

// One button, 97 x 33 pixels (1455 x 495 twips), on its own form unless a form is given.
struct Rig {
  explicit Rig(TestForm* sharedForm = nullptr, std::wstring name = L"skbutton1", std::uintptr_t window = 0x2000,
               std::uintptr_t containerWindow = 0x1000)
      : ownForm(sharedForm == nullptr ? std::make_unique<TestForm>() : nullptr),
        form(sharedForm != nullptr ? *sharedForm : *ownForm),
        site(form.AddSite(std::move(name), window, containerWindow)),
        renderer(form, observed),
        services(form) {
    button = std::make_unique<skbutton>(site);
    observed = button.get();
    button->SetRenderer(&renderer);
    button->SetWindowServices(&services);
    button->SetEvents(&events);
    form.Place(button.get());
  }
  ~Rig() {
    if (button) form.Remove(button.get());
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  skbutton& b() { return *button; }
  // The log from now on.
  void ClearLog() {
    form.log.clear();
    events.events.clear();
    renderer.drawnStates.clear();
    renderer.backAtRegion.clear();
  }

  std::unique_ptr<TestForm> ownForm;
  TestForm& form;
  TestSite& site;
  const skbutton* observed = nullptr;
  RecordingRenderer renderer;
  FakeServices services;
  EventRecorder events;
  std::unique_ptr<skbutton> button;
};

using Log = std::vector<std::string>;

}  // namespace quillon::controls::testing
