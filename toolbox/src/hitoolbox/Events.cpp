// Events, their parameters, handlers and targets, and the dispatch along a target chain.
// A dispatch collects the handlers that want the event (the target's newest first, a custom
// control's class handler after its own, then the next target's) and calls them in turn
// until one does not answer eventNotHandledErr. CallNextEventHandler continues the same walk.
#include "HIObjects.h"

#include "../ToolboxState.h"

#include <algorithm>
#include <cstring>

namespace toolbox::hi {
namespace {

struct Call {
    EventHandlerUPP proc;
    void* userData;
};

} // namespace
} // namespace toolbox::hi

struct OpaqueEventHandlerCallRef {
    std::vector<toolbox::hi::Call> calls;
    size_t next = 0;
};

namespace toolbox::hi {

bool Lists(const std::vector<EventTypeSpec>& types, EventClass cls, EventKind kind) {
    return std::any_of(types.begin(), types.end(),
                       [&](const EventTypeSpec& t) { return t.eventClass == cls && t.eventKind == kind; });
}

namespace {

void Collect(EventRef event, EventTarget* target, bool chain, std::vector<Call>& calls) {
    for (; target; target = chain ? target->next : nullptr) {
        for (auto it = target->handlers.rbegin(); it != target->handlers.rend(); ++it)
            if (Lists((*it)->types, event->eventClass, event->kind))
                calls.push_back({(*it)->proc, (*it)->userData});
        ControlRef control = target->control;
        if (control && control->customClass && control->customClass->registered) {
            const ControlClass& cls = *control->customClass;
            if (Lists(cls.events, event->eventClass, event->kind) && cls.handler)
                calls.push_back({cls.handler, cls.userData});
        }
    }
}

OSStatus RunCalls(OpaqueEventHandlerCallRef& ref, EventRef event) {
    while (ref.next < ref.calls.size()) {
        Call call = ref.calls[ref.next++];
        OSStatus status = call.proc(&ref, event, call.userData);
        if (status != eventNotHandledErr) return status;
    }
    return eventNotHandledErr;
}

} // namespace

OSStatus Dispatch(EventRef event, EventTarget* target, bool chain) {
    if (!event || !target) return paramErr;
    OpaqueEventHandlerCallRef ref;
    Collect(event, target, chain, ref.calls);
    return RunCalls(ref, event);
}

OSStatus SendControlEvent(ControlRef control, EventKind kind, EventRef event) {
    event->eventClass = kEventClassControl;
    event->kind = kind;
    SetParam(event, kEventParamDirectObject, typeControlRef, control);
    // Control events stay with the control and its class.
    return Dispatch(event, &control->target, false);
}

OSStatus SendCommand(EventTarget* target, UInt32 commandID) {
    HICommand command{};
    command.commandID = commandID;
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.kind = kEventCommandProcess;
    SetParam(&event, kEventParamDirectObject, typeHICommand, command);
    return Dispatch(&event, target);
}

void SetParam(EventRef event, EventParamName name, EventParamType type, const void* data, size_t size) {
    auto bytes = static_cast<const UInt8*>(data);
    event->params[name] = {type, std::vector<UInt8>(bytes, bytes + size)};
}

void RemoveHandlers(EventTarget& target) {
    target.handlers.clear();
}

EventTarget& ApplicationTarget() {
    if (!gToolbox.applicationTarget) gToolbox.applicationTarget = std::make_shared<EventTarget>();
    return *gToolbox.applicationTarget;
}

} // namespace toolbox::hi

using namespace toolbox;
using namespace toolbox::hi;

extern "C" {

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine) {
    return userRoutine;
}

void DisposeEventHandlerUPP(EventHandlerUPP) {}

EventTargetRef GetApplicationEventTarget(void) {
    return reinterpret_cast<EventTargetRef>(&ApplicationTarget());
}

EventTargetRef GetWindowEventTarget(WindowRef inWindow) {
    return IsWindow(inWindow) ? reinterpret_cast<EventTargetRef>(&inWindow->target) : nullptr;
}

EventTargetRef GetControlEventTarget(ControlRef inControl) {
    return IsControl(inControl) ? reinterpret_cast<EventTargetRef>(&inControl->target) : nullptr;
}

EventTargetRef GetMenuEventTarget(MenuRef inMenu) {
    return inMenu ? reinterpret_cast<EventTargetRef>(&inMenu->target) : nullptr;
}

OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, UInt32 inNumTypes,
                             const EventTypeSpec* inList, void* inUserData, EventHandlerRef* outRef) {
    auto* target = reinterpret_cast<EventTarget*>(inTarget);
    if (!target || !inHandler || (inNumTypes > 0 && !inList)) return paramErr;
    auto rec = std::make_unique<HandlerRec>();
    rec->proc = inHandler;
    rec->types.assign(inList, inList + inNumTypes);
    rec->userData = inUserData;
    rec->target = target;
    if (outRef) *outRef = reinterpret_cast<EventHandlerRef>(rec.get());
    target->handlers.push_back(std::move(rec));
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef) {
    auto* rec = reinterpret_cast<HandlerRec*>(inHandlerRef);
    if (!rec) return paramErr;
    // The handler is looked up among the live targets' handlers, never dereferenced blindly.
    auto removeFrom = [&](EventTarget& t) {
        auto it = std::find_if(t.handlers.begin(), t.handlers.end(), [&](auto& h) { return h.get() == rec; });
        if (it == t.handlers.end()) return false;
        t.handlers.erase(it);
        return true;
    };
    if (removeFrom(ApplicationTarget())) return noErr;
    for (OpaqueWindowPtr* w : gToolbox.windows) {
        if (removeFrom(w->target)) return noErr;
        for (auto& c : w->controls)
            if (removeFrom(c->target) || (c->menu && removeFrom(c->menu->target))) return noErr;
    }
    return paramErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent) {
    if (!inCallRef || !inEvent) return paramErr;
    return RunCalls(*inCallRef, inEvent);
}

OSStatus CreateEvent(const void*, EventClass inClassID, EventKind kind, EventTime, EventAttributes,
                     EventRef* outEvent) {
    if (!outEvent) return paramErr;
    *outEvent = new OpaqueEventRef;
    (*outEvent)->eventClass = inClassID;
    (*outEvent)->kind = kind;
    return noErr;
}

void ReleaseEvent(EventRef inEvent) {
    delete inEvent;
}

EventKind GetEventKind(EventRef inEvent) {
    return inEvent ? inEvent->kind : 0;
}

OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize, ByteCount* outActualSize,
                           void* outData) {
    if (!inEvent) return paramErr;
    auto it = inEvent->params.find(inName);
    if (it == inEvent->params.end()) return eventParameterNotFoundErr;
    const OpaqueEventRef::Param& p = it->second;
    // Only the stored type is offered: no coercions.
    if (inDesiredType != p.type && inDesiredType != 0x2A2A2A2A /* '****' */) return eventParameterNotFoundErr;
    if (outActualType) *outActualType = p.type;
    if (outActualSize) *outActualSize = ByteCount(p.bytes.size());
    size_t n = std::min<size_t>(inBufferSize, p.bytes.size());
    if (outData && n > 0) std::memcpy(outData, p.bytes.data(), n);
    return noErr;
}

OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                           const void* inDataPtr) {
    if (!inEvent || (inSize > 0 && !inDataPtr)) return paramErr;
    SetParam(inEvent, inName, inType, inDataPtr, inSize);
    return noErr;
}

OSStatus ProcessHICommand(const HICommand* inCommand) {
    if (!inCommand) return paramErr;
    WindowRef front = FrontWindow();
    EventTarget* target = front ? &front->target : &ApplicationTarget();
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.kind = kEventCommandProcess;
    SetParam(&event, kEventParamDirectObject, typeHICommand, *inCommand);
    return Dispatch(&event, target);
}

UInt32 GetCurrentKeyModifiers(void) {
    return gToolbox.keyModifiers;
}

} // extern "C"
