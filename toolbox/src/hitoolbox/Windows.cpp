// Windows: a content port, controls in drawing order, an event target whose next target is
// the application's, and a place in the front-to-back order.
#include "HIObjects.h"

#include "../ToolboxState.h"

#include <algorithm>

namespace toolbox::hi {

bool IsWindow(WindowRef w) {
    return w && std::find(gToolbox.windows.begin(), gToolbox.windows.end(), w) != gToolbox.windows.end();
}

WindowRef NewWindow(const std::string& name, const std::string& title, const Rect& content, OSStatus& err) {
    Rect local{0, 0, SInt16(content.bottom - content.top), SInt16(content.right - content.left)};
    GrafPort* port = nullptr;
    err = qd::NewPixelPort(local, port);
    if (err != noErr) return nullptr;
    auto* w = new OpaqueWindowPtr;
    w->tag = kWindowTag;
    w->name = name;
    w->title = title;
    w->content = content;
    w->port = port;
    w->target.next = &ApplicationTarget();
    gToolbox.windows.insert(gToolbox.windows.begin(), w);
    DrawControls(w);
    return w;
}

ControlRef AddControl(WindowRef w, std::unique_ptr<OpaqueControlRef> control) {
    control->tag = kControlTag;
    control->owner = w;
    control->target.next = &w->target;
    control->target.control = control.get();
    w->controls.push_back(std::move(control));
    ControlRef c = w->controls.back().get();
    if (c->kind == Kind::Custom) {
        OpaqueEventRef event;
        SendControlEvent(c, kEventControlOwningWindowChanged, &event);
    }
    return c;
}

ControlRef NewStandardControl(WindowRef w, Kind kind, OSType signature, SInt32 id, const Rect& bounds,
                              const std::string& text, SInt32 minimum, SInt32 maximum, SInt32 value,
                              UInt32 command) {
    auto c = std::make_unique<OpaqueControlRef>();
    c->kind = kind;
    c->id = ControlID{signature, id};
    c->bounds = bounds;
    c->text = text;
    c->minimum = minimum;
    c->maximum = maximum;
    c->value = value;
    c->command = command;
    return AddControl(w, std::move(c));
}

WindowRef FrontWindow() {
    for (auto it = gToolbox.modalLoops.rbegin(); it != gToolbox.modalLoops.rend(); ++it)
        if ((*it)->window) return (*it)->window;
    for (OpaqueWindowPtr* w : gToolbox.windows)
        if (w->visible) return w;
    return nullptr;
}

} // namespace toolbox::hi

using namespace toolbox;
using namespace toolbox::hi;

extern "C" {

void ShowWindow(WindowRef window) {
    if (!IsWindow(window) || window->visible) return;
    window->visible = true;
    for (auto& c : window->controls) {
        if (c->kind != Kind::Custom) continue;
        OpaqueEventRef event;
        SendControlEvent(c.get(), kEventControlActivate, &event);
    }
    DrawControls(window);
    Input().WindowShown(window);
}

void HideWindow(WindowRef window) {
    if (!IsWindow(window) || !window->visible) return;
    window->visible = false;
    Input().WindowGone(window);
}

void BringToFront(WindowRef window) {
    auto& list = gToolbox.windows;
    auto it = std::find(list.begin(), list.end(), window);
    if (it != list.end()) std::rotate(list.begin(), it, it + 1);
}

void DisposeWindow(WindowRef window) {
    if (!IsWindow(window)) return;
    for (ModalLoop* loop : gToolbox.modalLoops) {
        if (loop->window != window) continue;
        loop->window = nullptr;
        loop->quit = true;
    }
    if (window->visible && gToolbox.input) gToolbox.input->WindowGone(window);
    auto& list = gToolbox.windows;
    list.erase(std::find(list.begin(), list.end(), window));
    for (auto& c : window->controls)
        c->tag = 0;
    window->controls.clear();
    qd::DisposePixelPort(window->port);
    window->tag = 0;
    delete window;
}

CGrafPtr GetWindowPort(WindowRef window) {
    return IsWindow(window) ? window->port : nullptr;
}

void SetPortWindowPort(WindowRef window) {
    if (IsWindow(window)) SetPort(window->port);
}

OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect* globalBounds) {
    if (!IsWindow(window) || !globalBounds) return paramErr;
    *globalBounds = window->content;
    if (regionCode == kWindowStructureRgn) {
        globalBounds->top = SInt16(globalBounds->top - kWindowTitleBarHeight - kWindowBorderWidth);
        globalBounds->left = SInt16(globalBounds->left - kWindowBorderWidth);
        globalBounds->bottom = SInt16(globalBounds->bottom + kWindowBorderWidth);
        globalBounds->right = SInt16(globalBounds->right + kWindowBorderWidth);
    } else if (regionCode != kWindowContentRgn) {
        return paramErr;
    }
    return noErr;
}

void MoveWindow(WindowRef window, short hGlobal, short vGlobal, Boolean front) {
    if (!IsWindow(window)) return;
    OffsetRect(&window->content, short(hGlobal - window->content.left), short(vGlobal - window->content.top));
    if (front) BringToFront(window);
    if (window->visible) Input().WindowMoved(window);
}

void QDFlushPortBuffer(CGrafPtr port, RgnHandle) {
    for (OpaqueWindowPtr* w : gToolbox.windows)
        if (w->port == port && w->visible) Input().Present(w);
}

void DrawControls(WindowRef window) {
    if (!IsWindow(window)) return;
    SavedGWorldRec saved;
    SetPort(window->port);
    ClipRect(&window->port->portRect);
    RGBBackColor(&kWindowBackground);
    EraseRect(&window->port->portRect);
    // Drawing a custom control may run its handler, which may change the list: go by index.
    for (size_t i = 0; i < window->controls.size(); ++i)
        if (window->controls[i]->visible) DrawControl(window->controls[i].get());
}

} // extern "C"
