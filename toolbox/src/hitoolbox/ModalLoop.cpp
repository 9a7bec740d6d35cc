// Modal loops and the handling of input, whichever source produced it: mouse downs go to
// the window's handlers and then to the control under the mouse; keys go to the focused
// control, the window and the application, and then return and escape send the window's
// default and cancel commands, tab moves the focus and other keys edit the focused text.
#include "HIObjects.h"

#include "../ToolboxState.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace toolbox::hi {

namespace {

void MoveFocus(WindowRef w) {
    std::vector<ControlRef> fields;
    for (auto& c : w->controls)
        if (c->kind == Kind::EditText && c->visible && c->enabled) fields.push_back(c.get());
    if (fields.empty()) return;
    auto it = std::find(fields.begin(), fields.end(), w->focus);
    ControlRef next = it == fields.end() || it + 1 == fields.end() ? fields.front() : *(it + 1);
    SetKeyboardFocus(w, next, kControlFocusNextPart);
}

void DefaultKey(WindowRef w, const InputEvent& e) {
    switch (e.keyCode) {
        case kKeyReturn:
        case kKeyEnter:
            if (w->defaultCommand) SendCommand(&w->target, w->defaultCommand);
            return;
        case kKeyEscape:
            if (w->cancelCommand) SendCommand(&w->target, w->cancelCommand);
            return;
        case kKeyTab:
            MoveFocus(w);
            return;
        default:
            if (w->focus) EditKey(w->focus, e.charCode, e.keyCode);
    }
}

ModalLoop* InnermostLoop() {
    return gToolbox.modalLoops.empty() ? nullptr : gToolbox.modalLoops.back();
}

} // namespace

InputSource& Input() {
    if (!gToolbox.input) {
        std::string error;
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if ((display && *display) || (wayland && *wayland)) gToolbox.input = MakeWindowSource(error);
        if (!gToolbox.input) gToolbox.input = MakeScriptSource("", "no script");
    }
    return *gToolbox.input;
}

void HandleInput(const InputEvent& e) {
    if (e.type == InputEvent::Type::End) return;
    gToolbox.keyModifiers = e.modifiers;
    WindowRef w = e.window ? e.window : FrontWindow();
    if (!IsWindow(w) || !w->visible) return;
    ModalLoop* loop = InnermostLoop();
    if (loop && loop->window && loop->window != w) return; // modal: other windows take no input
    if (e.type == InputEvent::Type::MouseDown) {
        gToolbox.mouse = e.where;
        OpaqueEventRef event;
        event.eventClass = kEventClassMouse;
        event.kind = kEventMouseDown;
        SetParam(&event, kEventParamDirectObject, typeWindowRef, w);
        SetParam(&event, kEventParamWindowMouseLocation, typeQDPoint, e.where);
        SetParam(&event, kEventParamMouseLocation, typeQDPoint, e.where);
        SetParam(&event, kEventParamKeyModifiers, typeUInt32, e.modifiers);
        if (Dispatch(&event, &w->target) == eventNotHandledErr && IsWindow(w))
            HandleMouseDown(w, e.where, e.modifiers);
    } else if (e.type == InputEvent::Type::Key) {
        OpaqueEventRef event;
        event.eventClass = kEventClassKeyboard;
        event.kind = kEventRawKeyDown;
        SetParam(&event, kEventParamDirectObject, typeWindowRef, w);
        SetParam(&event, kEventParamKeyMacCharCodes, typeChar, e.charCode);
        SetParam(&event, kEventParamKeyCode, typeUInt32, e.keyCode);
        SetParam(&event, kEventParamKeyModifiers, typeUInt32, e.modifiers);
        EventTarget* target = w->focus ? &w->focus->target : &w->target;
        if (Dispatch(&event, target) == eventNotHandledErr && IsWindow(w)) DefaultKey(w, e);
    }
}

} // namespace toolbox::hi

using namespace toolbox;
using namespace toolbox::hi;

namespace toolbox {

bool UseWindowInput(std::string& error) {
    auto source = MakeWindowSource(error);
    if (!source) return false;
    gToolbox.input = std::move(source);
    return true;
}

bool UseScriptText(const std::string& steps, std::string& error) {
    error.clear();
    gToolbox.input = MakeScriptSource(steps, "script");
    return true;
}

int ScriptFailures() {
    return gToolbox.scriptFailures;
}

} // namespace toolbox

extern "C" {

OSStatus RunAppModalLoopForWindow(WindowRef inWindow) {
    if (!IsWindow(inWindow)) return paramErr;
    ModalLoop loop{inWindow, false};
    gToolbox.modalLoops.push_back(&loop);
    InputSource& input = Input();
    while (!loop.quit) {
        InputEvent e = input.Next(inWindow);
        if (e.type != InputEvent::Type::End) {
            HandleInput(e);
            continue;
        }
        std::fprintf(stderr, "input: no more steps; the window \"%s\" ends as if escape were pressed\n",
                     inWindow->name.c_str());
        InputEvent escape;
        escape.type = InputEvent::Type::Key;
        escape.window = inWindow;
        escape.charCode = 0x1B;
        escape.keyCode = kKeyEscape;
        HandleInput(escape);
        loop.quit = true; // a window without a cancel command ends all the same
    }
    auto& loops = gToolbox.modalLoops;
    loops.erase(std::find(loops.begin(), loops.end(), &loop));
    return noErr;
}

OSStatus QuitAppModalLoopForWindow(WindowRef inWindow) {
    bool found = false;
    for (ModalLoop* loop : gToolbox.modalLoops) {
        if (loop->window != inWindow) continue;
        loop->quit = true;
        found = true;
    }
    return found ? OSStatus(noErr) : OSStatus(paramErr);
}

OSStatus TrackMouseLocation(GrafPtr, Point* outPt, MouseTrackingResult* outResult) {
    if (!outPt || !outResult) return paramErr;
    for (;;) {
        InputEvent e = Input().Next(FrontWindow());
        switch (e.type) {
            case InputEvent::Type::MouseMoved:
                *outResult = kMouseTrackingMouseDragged;
                break;
            case InputEvent::Type::MouseUp:
                *outResult = kMouseTrackingMouseUp;
                break;
            case InputEvent::Type::MouseDown:
                *outResult = kMouseTrackingMouseDown;
                break;
            case InputEvent::Type::End:
                *outPt = gToolbox.mouse;
                *outResult = kMouseTrackingMouseUp;
                return noErr;
            default:
                continue; // keys wait until the button is up
        }
        gToolbox.mouse = e.where;
        gToolbox.keyModifiers = e.modifiers;
        *outPt = e.where;
        return noErr;
    }
}

} // extern "C"
