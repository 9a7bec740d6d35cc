// The inside of windows, controls, menus, events, handlers and custom control classes, and
// the procedures the parts of the toolbox's window system call on one another.
#pragma once

#include "toolbox/Controls.h"
#include "toolbox/InputSources.h"
#include "toolbox/MacWindows.h"

#include "../quickdraw/Ports.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace toolbox::hi {

struct EventTarget;

struct HandlerRec {
    EventHandlerUPP proc = nullptr;
    std::vector<EventTypeSpec> types;
    void* userData = nullptr;
    EventTarget* target = nullptr;
};

// Whether a handler's or a class's list of event types holds this class and kind.
bool Lists(const std::vector<EventTypeSpec>& types, EventClass cls, EventKind kind);

// Handlers are kept oldest first and called newest first; `next` is where the event goes
// when none of them handles it.
struct EventTarget {
    std::vector<std::unique_ptr<HandlerRec>> handlers;
    EventTarget* next = nullptr;
    ControlRef control = nullptr; // a control's target also calls its class's handler
};

struct ControlClass {
    std::string identifier;
    std::vector<EventTypeSpec> events;
    EventHandlerUPP handler = nullptr;
    void* userData = nullptr;
    bool registered = true;
};

enum class Kind { Button, CheckBox, Slider, Popup, StaticText, EditText, GroupBox, Custom };

} // namespace toolbox::hi

struct OpaqueEventRef {
    struct Param {
        EventParamType type;
        std::vector<UInt8> bytes;
    };
    EventClass eventClass = 0;
    EventKind kind = 0;
    std::map<EventParamName, Param> params;
};

struct OpaqueMenuRef {
    std::vector<std::string> items; // Mac Roman
    toolbox::hi::EventTarget target;
};

struct OpaqueControlRef {
    UInt64 tag = 0;
    WindowRef owner = nullptr;
    ControlID id{};
    toolbox::hi::Kind kind = toolbox::hi::Kind::StaticText;
    std::shared_ptr<toolbox::hi::ControlClass> customClass;
    Rect bounds{};
    SInt32 value = 0, minimum = 0, maximum = 0;
    std::string text; // Mac Roman
    UInt32 command = 0;
    bool visible = true, enabled = true;
    UInt16 hilite = 0; // the pressed part while tracking
    ControlActionUPP action = nullptr;
    toolbox::hi::EventTarget target;
    SInt16 selStart = 0, selEnd = 0;
    std::unique_ptr<OpaqueMenuRef> menu; // pop-ups
};

struct OpaqueWindowPtr {
    UInt64 tag = 0;
    std::string name, title; // title in UTF-8
    Rect content{};          // global bounds of the content
    GrafPort* port = nullptr;
    std::vector<std::unique_ptr<OpaqueControlRef>> controls;
    bool visible = false;
    toolbox::hi::EventTarget target;
    UInt32 defaultCommand = 0, cancelCommand = 0;
    ControlRef focus = nullptr;
};

namespace toolbox::hi {

constexpr UInt64 kWindowTag = 0x57494E444F57ULL;
constexpr UInt64 kControlTag = 0x434F4E54524FULL;
constexpr RGBColor kWindowBackground{0xECEC, 0xECEC, 0xECEC};

bool IsWindow(WindowRef w);
bool IsControl(ControlRef c);

// Windows.cpp
WindowRef NewWindow(const std::string& name, const std::string& title, const Rect& content, OSStatus& err);
ControlRef AddControl(WindowRef w, std::unique_ptr<OpaqueControlRef> control);
// A standard control made by the toolbox itself (alerts, pickers); text in Mac Roman.
ControlRef NewStandardControl(WindowRef w, Kind kind, OSType signature, SInt32 id, const Rect& bounds,
                              const std::string& text, SInt32 minimum, SInt32 maximum, SInt32 value,
                              UInt32 command);
WindowRef FrontWindow(); // the innermost modal loop's window, else the front visible one
EventTarget& ApplicationTarget();

// Events.cpp: sends to the target and on along the chain; the result of the last handler.
OSStatus Dispatch(EventRef event, EventTarget* target, bool chain = true);
OSStatus SendControlEvent(ControlRef control, EventKind kind, EventRef event);
OSStatus SendCommand(EventTarget* target, UInt32 commandID);
void SetParam(EventRef event, EventParamName name, EventParamType type, const void* data, size_t size);
template <typename T>
void SetParam(EventRef event, EventParamName name, EventParamType type, const T& value) {
    SetParam(event, name, type, &value, sizeof value);
}
void RemoveHandlers(EventTarget& target);

// StandardControls.cpp: the look and the mouse handling of each kind.
// Keeps the part pressed while the mouse stays over the control (buttons, check boxes, and
// custom controls whose class does not track): the part, or kControlNoPart when the mouse
// comes up elsewhere.
ControlPartCode TrackPress(ControlRef control, ControlPartCode part);
void DrawStandard(ControlRef control);
ControlPartCode TrackStandard(ControlRef control, Point where);
void EditKey(ControlRef control, UInt8 charCode, UInt32 keyCode);
// The point of a pop-up's item in its open menu (for scripts).
Point PopupItemPoint(ControlRef control, int item);

// Controls.cpp
void DrawControl(ControlRef control); // Draw1Control without the visibility test
void HandleMouseDown(WindowRef w, Point where, UInt32 modifiers);
ControlRef FindControl(WindowRef w, OSType signature, SInt32 id);

// ModalLoop.cpp: input handling shared by both sources.
struct InputEvent {
    enum class Type { MouseDown, MouseUp, MouseMoved, Key, End };
    Type type = Type::End;
    WindowRef window = nullptr; // NULL: the front window
    Point where{0, 0};
    UInt32 modifiers = 0;
    UInt8 charCode = 0;
    UInt32 keyCode = 0;
};

enum class InputKind { Windows, Script };

class InputSource {
  public:
    virtual ~InputSource() = default;
    virtual InputKind Kind() const = 0;
    // The next input for the front window; Type::End when there is no more.
    virtual InputEvent Next(WindowRef front) = 0;
    virtual void WindowShown(WindowRef) {}
    virtual void WindowGone(WindowRef) {} // hidden or disposed
    virtual void WindowMoved(WindowRef) {}
    virtual void Present(WindowRef) {}
};

InputSource& Input();
void HandleInput(const InputEvent& e);

// Mac key codes of the keys the toolbox acts on.
enum KeyCode : UInt32 {
    kKeyReturn = 36,
    kKeyTab = 48,
    kKeyBackspace = 51,
    kKeyEscape = 53,
    kKeyEnter = 76,
    kKeyLeft = 123,
    kKeyRight = 124
};

// ScriptInput.cpp / SDLInput.cpp
std::unique_ptr<InputSource> MakeScriptSource(const std::string& text, const std::string& name);
std::unique_ptr<InputSource> MakeWindowSource(std::string& error);

} // namespace toolbox::hi
