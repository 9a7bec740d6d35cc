/* Carbon events: events with a class, a kind and typed parameters, handlers installed on
 * targets (application, window, control, menu), commands and the mouse and keyboard.
 *
 * An event goes to the handlers of its target, newest first, then up the chain: a control's
 * handlers, its custom class's handler, its window's handlers, the application's. A
 * handler returns noErr when it handled the event and eventNotHandledErr to pass it on;
 * CallNextEventHandler passes it on at once and returns what the rest of the chain did.
 * Control events of a custom class reach the class's handler only for the kinds the class
 * registered. */
#pragma once

#include "toolbox/MacTypes.h"
#include "toolbox/QuickDraw.h"

typedef struct OpaqueWindowPtr* WindowRef;
typedef struct OpaqueControlRef* ControlRef;
typedef struct OpaqueMenuRef* MenuRef;
typedef struct OpaqueEventRef* EventRef;
typedef struct OpaqueEventTargetRef* EventTargetRef;
typedef struct OpaqueEventHandlerRef* EventHandlerRef;
typedef struct OpaqueEventHandlerCallRef* EventHandlerCallRef;

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent,
                                        void* inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;

typedef OSType EventParamName;
typedef OSType EventParamType;
typedef UInt32 EventKind;
typedef UInt32 EventClass;
typedef UInt32 ByteCount;
typedef double EventTime;
typedef UInt32 EventAttributes;
typedef UInt16 MenuItemIndex;
typedef UInt32 MenuCommand;

typedef struct EventTypeSpec {
    EventClass eventClass;
    EventKind eventKind;
} EventTypeSpec;

/* A command: what a button, pop-up or key sends. */
typedef struct HICommand {
    UInt32 attributes;
    MenuCommand commandID;
    struct {
        MenuRef menuRef;
        MenuItemIndex menuItemIndex;
    } menu;
} HICommand;

enum {
    kEventClassMouse = 0x6D6F7573,    /* 'mous' */
    kEventClassKeyboard = 0x6B657962, /* 'keyb' */
    kEventClassCommand = 0x636D6473,  /* 'cmds' */
    kEventClassControl = 0x636E746C,  /* 'cntl' */
    kEventClassWindow = 0x77696E64    /* 'wind' */
};

enum { kEventCommandProcess = 1 };
enum { kEventMouseDown = 1, kEventMouseUp = 2 };
enum { kEventRawKeyDown = 1 };
enum {
    kEventControlHit = 1,
    kEventControlHitTest = 3,
    kEventControlDraw = 4,
    kEventControlActivate = 9,
    kEventControlTrack = 51,
    kEventControlOwningWindowChanged = 159
};

enum {
    kEventParamDirectObject = 0x2D2D2D2D,        /* '----' */
    kEventParamMouseLocation = 0x6D6C6F63,       /* 'mloc' */
    kEventParamWindowMouseLocation = 0x776D6F75, /* 'wmou' */
    kEventParamKeyModifiers = 0x6B6D6F64,        /* 'kmod' */
    kEventParamKeyMacCharCodes = 0x6B636872,     /* 'kchr' */
    kEventParamKeyCode = 0x6B636F64,             /* 'kcod' */
    kEventParamControlPart = 0x63707274          /* 'cprt' */
};

enum {
    typeWindowRef = 0x77696E64,       /* 'wind' */
    typeControlRef = 0x6374726C,      /* 'ctrl' */
    typeQDPoint = 0x51447074,         /* 'QDpt' */
    typeUInt32 = 0x6D61676E,          /* 'magn' */
    typeChar = 0x54455854,            /* 'TEXT' */
    typeControlPartCode = 0x63707274, /* 'cprt' */
    typeHICommand = 0x68636D64        /* 'hcmd' */
};

enum { eventParameterNotFoundErr = -9870 };

/* Modifier bits of GetCurrentKeyModifiers and the "kmod" parameter. */
enum { cmdKey = 0x0100, shiftKey = 0x0200, alphaLock = 0x0400, optionKey = 0x0800, controlKey = 0x1000 };

typedef UInt16 MouseTrackingResult;
enum { kMouseTrackingMouseDown = 1, kMouseTrackingMouseUp = 2, kMouseTrackingMouseDragged = 5 };

TB_EXTERN_C_BEGIN

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine);
void DisposeEventHandlerUPP(EventHandlerUPP userUPP);

EventTargetRef GetApplicationEventTarget(void);
EventTargetRef GetWindowEventTarget(WindowRef inWindow);
EventTargetRef GetControlEventTarget(ControlRef inControl);
EventTargetRef GetMenuEventTarget(MenuRef inMenu);

OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, UInt32 inNumTypes,
                             const EventTypeSpec* inList, void* inUserData, EventHandlerRef* outRef);
OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef);
OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent);

OSStatus CreateEvent(const void* inAllocator, EventClass inClassID, EventKind kind, EventTime when,
                     EventAttributes flags, EventRef* outEvent);
void ReleaseEvent(EventRef inEvent);
EventKind GetEventKind(EventRef inEvent);
OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize, ByteCount* outActualSize,
                           void* outData);
OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                           const void* inDataPtr);

/* Sends the command to the window of the innermost modal loop (else the front window), then
 * the application. eventNotHandledErr when nobody handled it. */
OSStatus ProcessHICommand(const HICommand* inCommand);

/* The modifier keys of the input being handled. */
UInt32 GetCurrentKeyModifiers(void);

/* Waits for the next mouse input while a button is held: mouse dragged (moved with the
 * button down), mouse up, or mouse down. The point is in the port's coordinates. When
 * the input runs out, the result is mouse up at the last point. */
OSStatus TrackMouseLocation(GrafPtr inPort, Point* outPt, MouseTrackingResult* outResult);

TB_EXTERN_C_END
