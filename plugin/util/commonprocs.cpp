// Common procedures: windows from descriptions, numbers and strings, commands, rectangles
// and justified text.
#include "util/commonprocs.h"

#include "util/failures.h"

#include "toolbox/CarbonEvents.h"
#include "toolbox/LaunchServices.h"
#include "toolbox/MacMemory.h"
#include "toolbox/Nib.h"
#include "toolbox/TextUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// A platform string that is released when it goes out of scope.
struct OwnedCFString {
    CFStringRef ref;
    explicit OwnedCFString(const char* text)
        : ref(CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman)) {}
    ~OwnedCFString() {
        if (ref) CFRelease(ref);
    }
    OwnedCFString(const OwnedCFString&) = delete;
    OwnedCFString& operator=(const OwnedCFString&) = delete;
};

const char kQuote[] = "\"";

void CreateWindowOrHalt(IBNibRef nib, const char* theWindow, WindowRef& window) {
    OwnedCFString name(theWindow);
    OSStatus err = CreateWindowFromNib(nib, name.ref, &window);
    if (err != noErr) std::_Exit(err & 0xFF);
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

Rect Sized(SInt16 width, SInt16 height) {
    return Rect{0, 0, height, width};
}

} // namespace

WindowRef OpenNibWindowFromCFBundle(const char* theIdentifier, const char* theNib, const char* theWindow) {
    PString id(theIdentifier);
    CFStringRef identifier = __CFStringMakeConstantString(theIdentifier ? theIdentifier : "");
    Assert(identifier, PString("Cannot allocate CFSTR for ") + id);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(identifier);
    Assert(bundle, PString("Cannot allocate bundle for ID = ") + id);
    CFRetain(bundle);
    const char* nibName = theNib && *theNib ? theNib : "umbrawash";
    OwnedCFString nibString(nibName);
    IBNibRef nib = nullptr;
    OSStatus err = CreateNibReferenceWithCFBundle(bundle, nibString.ref, &nib);
    if (err != noErr)
        Terminate(PString("OpenNibWindow Failed"), PString("Unable to CreateNibReferenceWithCFBundle for ") +
                                                       kQuote + id + "/" + nibName + kQuote +
                                                       " as it returned errcode #" + Num2Text(err) + ".");
    WindowRef window = nullptr;
    CreateWindowOrHalt(nib, theWindow, window);
    DisposeNibReference(nib);
    CFRelease(bundle);
    return window;
}

WindowRef OpenNibWindow(const char* theNib, const char* theWindow) {
    const char* nibName = theNib && *theNib ? theNib : "main";
    OwnedCFString nibString(nibName);
    IBNibRef nib = nullptr;
    OSStatus err = CreateNibReference(nibString.ref, &nib);
    if (err != noErr)
        Terminate(PString("OpenNibWindow Failed"), PString("Unable to CreateNibReference for ") + kQuote +
                                                       nibName + kQuote + " as it returned errcode #" +
                                                       Num2Text(err) + ".");
    WindowRef window = nullptr;
    CreateWindowOrHalt(nib, theWindow, window);
    DisposeNibReference(nib);
    return window;
}

void FlushWindowBuffer(WindowRef theWindow) {
    CGrafPtr port = GetWindowPort(theWindow);
    Rect bounds;
    GetPortBounds(port, &bounds);
    RgnHandle region = NewRgn();
    RectRgn(region, &bounds);
    QDFlushPortBuffer(port, region);
    DisposeRgn(region);
}

void MoveWindowToRightEdge(WindowRef theWindow, Rect theRect) {
    Rect structure, content;
    if (GetWindowBounds(theWindow, kWindowStructureRgn, &structure) != noErr ||
        GetWindowBounds(theWindow, kWindowContentRgn, &content) != noErr)
        return;
    MoveWindow(theWindow, SInt16(content.left + theRect.right - structure.right), content.top, false);
}

PString Num2Text(SInt32 theNum) {
    Str255 text;
    NumToString(theNum, text);
    return PString(text);
}

// A small parser of its own: digits, then "." or "," and more digits; no sign but a
// leading "-", no exponent, no blanks. Arithmetic in this order gives the same doubles
// everywhere ("0.3" is 3 x 0.1).
void String2Real(ConstStr255Param theString, double& theNumber) {
    theNumber = 0.0;
    size_t length = theString ? theString[0] : 0, i = 0;
    auto current = [&]() -> unsigned char { return i < length ? theString[1 + i] : 0; };
    unsigned char c = current();
    if (length == 0 || !(IsDigit(c) || c == '-' || c == '.' || c == ',')) return;
    bool negative = c == '-';
    double value = 0.0;
    if (c != '.' && c != ',') {
        do {
            value = value * 10 + (IsDigit(c) ? c - 48 : 0); // the "-" counts as a 0
            ++i;
            c = current();
        } while (i < length && IsDigit(c));
    }
    if (i < length && (c == '.' || c == ',')) {
        ++i;
        c = current();
        double factor = 0.1;
        while (i < length && IsDigit(c)) {
            value = value + (c - 48) * factor;
            factor = factor / 10;
            ++i;
            c = current();
        }
    }
    theNumber = negative ? -value : value;
}

// Four decimals, truncated. Values between -1 and 0 keep their minus sign; values that do
// not fit 32 bits (or are not numbers) are written as the nearest that does (or 0).
PString Real2String(double theReal) {
    if (!std::isfinite(theReal)) theReal = 0.0;
    double whole = std::trunc(theReal);
    SInt32 theInt = SInt32(std::clamp(whole, -2147483648.0, 2147483647.0));
    SInt32 theFract = SInt32(std::trunc(std::fabs(theReal - whole) * 10000));
    if (theFract == 0) return Num2Text(theInt);
    PString fraction = Num2Text(theFract);
    const char* zeros = theFract < 10 ? "000" : theFract < 100 ? "00" : theFract < 1000 ? "0" : "";
    PString sign = theReal < 0 && theInt == 0 ? "-" : "";
    return sign + Num2Text(theInt) + "." + zeros + fraction;
}

CFStringRef MakeCFString(ConstStr255Param theString) {
    return CFStringCreateWithPascalString(kCFAllocatorDefault, theString, kCFStringEncodingMacRoman);
}

PString CF2PString(CFStringRef theCFRef) {
    Str255 text;
    if (!theCFRef || !CFStringGetPascalString(theCFRef, text, sizeof text, kCFStringEncodingMacRoman))
        return PString();
    return PString(text);
}

PString Command2String(UInt32 theCommand) {
    const char bytes[4] = {char(theCommand >> 24), char(theCommand >> 16), char(theCommand >> 8),
                           char(theCommand)};
    return PString(std::string_view(bytes, 4));
}

// Characters missing from a short text count as spaces; nothing past the text is read.
UInt32 String2Command(ConstStr255Param theString) {
    UInt32 code = 0;
    size_t length = theString ? theString[0] : 0;
    for (size_t i = 0; i < 4; ++i)
        code = (code << 8) | (i < length ? theString[1 + i] : UInt8(' '));
    return code;
}

void ZeroDelimitString(Str255 theStr) {
    theStr[theStr[0] < 254 ? theStr[0] + 1 : 255] = 0;
}

void SwapInt(SInt16& i1, SInt16& i2) {
    std::swap(i1, i2);
}

SInt16 Sgn(double theVal) {
    return theVal < 0 ? -1 : 1;
}

SInt16 CarbonHiWord(SInt32 x) {
    return SInt16(UInt32(x) >> 16);
}

SInt16 CarbonLoWord(SInt32 x) {
    return SInt16(UInt32(x) & 0xFFFF);
}

Ptr CloneObject(Ptr theObject) {
    if (!theObject) return nullptr;
    Size size = GetPtrSize(theObject);
    if (size < 1) return nullptr;
    Ptr copy = NewPtr(size);
    if (copy) BlockMoveData(theObject, copy, size);
    return copy;
}

PString URL2Str255(CFURLRef theURL) {
    return theURL ? CF2PString(CFURLGetString(theURL)) : PString();
}

CFURLRef PString2URL(ConstStr255Param theString) {
    CFStringRef text = MakeCFString(theString);
    if (!text) return nullptr;
    CFURLRef url = CFURLCreateWithString(kCFAllocatorDefault, text, nullptr);
    CFRelease(text);
    return url;
}

FSSpec FSRef2FSSpec(const FSRef& theRef) {
    FSSpec spec{};
    if (FSGetCatalogInfo(&theRef, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr) != noErr) spec = FSSpec{};
    return spec;
}

FSRef FSSpec2FSRef(const FSSpec& theFSS) {
    FSRef ref{};
    if (FSpMakeFSRef(&theFSS, &ref) != noErr) ref = FSRef{};
    return ref;
}

CFStringRef FSRef2CFString(const FSRef& theFSRef) {
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &theFSRef);
    if (!url) return nullptr;
    // The URL owns its text: hand out a copy that outlives it.
    CFStringRef text = CFURLGetString(url), copy = nullptr;
    std::vector<char> utf8(size_t(text ? CFStringGetLength(text) : 0) * 4 + 1);
    if (text && CFStringGetCString(text, utf8.data(), CFIndex(utf8.size()), kCFStringEncodingUTF8))
        copy = CFStringCreateWithCString(kCFAllocatorDefault, utf8.data(), kCFStringEncodingUTF8);
    CFRelease(url);
    return copy;
}

CFStringRef FSSpec2CFString(const FSSpec& theFSS) {
    return FSRef2CFString(FSSpec2FSRef(theFSS));
}

PString FSRef2Str255(const FSRef& theFSRef) {
    CFStringRef text = FSRef2CFString(theFSRef);
    if (!text) return PString();
    PString result = CF2PString(text);
    CFRelease(text);
    return result;
}

PString GetNameFromFSRef(const FSRef& theFSRef) {
    FSSpec spec = FSRef2FSSpec(theFSRef);
    return PString(
        std::string_view(reinterpret_cast<const char*>(spec.name + 1), std::min<int>(spec.name[0], 63)));
}

Boolean IsFileAFolder(const FSRef& theFile) {
    LSItemInfoRecord info;
    if (LSCopyItemInfoForRef(&theFile, kLSRequestBasicFlagsOnly, &info) != noErr) return false;
    return (info.flags & kLSItemInfoIsContainer) != 0;
}

Boolean IsShiftDown() {
    return (GetCurrentKeyModifiers() & shiftKey) != 0;
}

Boolean IsOptionDown() {
    return (GetCurrentKeyModifiers() & optionKey) != 0;
}

Boolean IsCtrlDown() {
    return (GetCurrentKeyModifiers() & controlKey) != 0;
}

Boolean IsCommandDown() {
    return (GetCurrentKeyModifiers() & cmdKey) != 0;
}

// The command record lives on the heap while the command is processed, then is freed.
void PostCommand(ConstStr255Param theCommand) {
    auto* command = reinterpret_cast<HICommand*>(NewPtrClear(sizeof(HICommand)));
    Assert(command, "Allocating HICommand from post command");
    command->attributes = 0;
    command->commandID = String2Command(theCommand);
    command->menu.menuRef = nullptr;
    command->menu.menuItemIndex = 0;
    ProcessHICommand(command);
    DisposePtr(reinterpret_cast<Ptr>(command));
}

Rect KeepPropsWithFixedHorizontal(Rect inOriginal, Rect inNewSize) {
    double deltaX = inOriginal.right - inOriginal.left, deltaY = inOriginal.bottom - inOriginal.top;
    double newX = inNewSize.right - inNewSize.left;
    if (deltaX == 0) return inNewSize;
    double prop = deltaX / deltaY;
    double newY = newX / prop;
    inNewSize.bottom = SInt16(inNewSize.top + std::trunc(newY + 0.5));
    return inNewSize;
}

Rect KeepPropsWithFixedVertical(Rect inOriginal, Rect inNewSize) {
    double deltaX = inOriginal.right - inOriginal.left, deltaY = inOriginal.bottom - inOriginal.top;
    double newY = inNewSize.bottom - inNewSize.top;
    if (deltaY == 0) return inNewSize;
    double prop = deltaX / deltaY;
    double newX = newY * prop;
    inNewSize.right = SInt16(inNewSize.left + std::trunc(newX + 0.5));
    return inNewSize;
}

Rect CalcProportionalRectForFrame(Rect inRect, Rect inFrame) {
    SInt16 iWid = SInt16(inRect.right - inRect.left), iHig = SInt16(inRect.bottom - inRect.top);
    SInt16 wid = SInt16(inFrame.right - inFrame.left), hig = SInt16(inFrame.bottom - inFrame.top);
    Rect imageBounds = Sized(iWid, iHig), newBounds = Sized(wid, hig);
    if (wid > hig)
        return iWid > iHig ? KeepPropsWithFixedHorizontal(imageBounds, newBounds)
                           : KeepPropsWithFixedVertical(imageBounds, newBounds);
    return iHig > iWid ? KeepPropsWithFixedVertical(imageBounds, newBounds)
                       : KeepPropsWithFixedHorizontal(imageBounds, newBounds);
}

void CenterRectInRect(Rect& theRect, Rect inRect) {
    int h1 = theRect.left + (theRect.right - theRect.left) / 2,
        v1 = theRect.top + (theRect.bottom - theRect.top) / 2;
    int h2 = inRect.left + (inRect.right - inRect.left) / 2,
        v2 = inRect.top + (inRect.bottom - inRect.top) / 2;
    OffsetRect(&theRect, short(h2 - h1), short(v2 - v1));
}

void VerifyRect(Rect& theRect) {
    if (theRect.left > theRect.right) std::swap(theRect.left, theRect.right);
    if (theRect.top > theRect.bottom) std::swap(theRect.top, theRect.bottom);
}

void DrawJustifiedTextInBox(Rect theBox, SInt16 theJustification, double theTextHeight,
                            ConstStr255Param theText) {
    int wid = theBox.right - theBox.left, hig = theBox.bottom - theBox.top;
    int size = int(std::trunc(theTextHeight));
    int len = StringWidth(theText);
    int x = theBox.left + 1;
    if (theJustification == kJustifyCenter) x = theBox.left + wid / 2 - len / 2;
    if (theJustification == kJustifyRight) x = theBox.right - 1 - len;
    int y = theBox.bottom + (-hig) / 2 + size / 2 - int(std::trunc(theTextHeight * 0.2));
    MoveTo(short(x), short(y));
    DrawString(theText);
}

void PaintJustifiedRect(Rect theBox, SInt16 theJustification, ConstStr255Param theText) {
    int len = StringWidth(theText), wid = theBox.right - theBox.left;
    if (theJustification == kJustifyLeft) {
        theBox.right = SInt16(theBox.left + 2 + len);
    } else if (theJustification == kJustifyCenter) {
        theBox.left = SInt16(theBox.left + wid / 2 - len / 2 - 1);
        theBox.right = SInt16(theBox.left + 2 + len);
    } else if (theJustification == kJustifyRight) {
        theBox.left = SInt16(theBox.right - 2 - len);
    }
    PaintRect(&theBox);
}
