// The standard control kinds: how each looks and what the mouse and keys do to it. Every
// kind draws into its window's port (the current port when these run), inside its bounds,
// plainly: black on white where the user acts, grey when disabled, blue while pressed.
#include "HIObjects.h"

#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

#include <algorithm>

namespace toolbox::hi {
namespace {

constexpr RGBColor kBlack{0, 0, 0};
constexpr RGBColor kWhite{0xFFFF, 0xFFFF, 0xFFFF};
constexpr RGBColor kGrey{0x9090, 0x9090, 0x9090};
constexpr RGBColor kPressed{0x3030, 0x6060, 0xC0C0};
constexpr RGBColor kSelection{0xB0B0, 0xD0D0, 0xFFFF};
constexpr int kThumbWidth = 10;
constexpr int kItemHeight = 18;
constexpr int kTextInset = 4;

void Fill(const Rect& r, const RGBColor& c) {
    RGBForeColor(&c);
    PaintRect(&r);
}

void Frame(const Rect& r, const RGBColor& c) {
    RGBForeColor(&c);
    FrameRect(&r);
}

Rect Inset(Rect r, int d) {
    return Rect{SInt16(r.top + d), SInt16(r.left + d), SInt16(r.bottom - d), SInt16(r.right - d)};
}

int Ascent() {
    FontInfo info;
    GetFontInfo(&info);
    return info.ascent;
}

// One line of UTF-8 text with its baseline centred in [top, bottom).
void Text(const std::string& utf8, int h, int top, int bottom, const RGBColor& c) {
    FontInfo info;
    GetFontInfo(&info);
    RGBForeColor(&c);
    MoveTo(short(h), short((top + bottom + info.ascent - info.descent) / 2));
    DrawUtf8(utf8);
}

std::string Utf8(const std::string& macRoman) {
    return MacRomanToUtf8(macRoman);
}

// Lines of at most `width` pixels, broken at blanks and line ends.
std::vector<std::string> Wrap(const std::string& utf8, int width) {
    std::vector<std::string> lines;
    std::string line, word;
    auto flushWord = [&] {
        if (word.empty()) return;
        std::string joined = line.empty() ? word : line + " " + word;
        if (!line.empty() && Utf8Width(joined) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = joined;
        }
        word.clear();
    };
    for (char ch : utf8) {
        if (ch == ' ') {
            flushWord();
        } else if (ch == '\r' || ch == '\n') {
            flushWord();
            lines.push_back(line);
            line.clear();
        } else {
            word += ch;
        }
    }
    flushWord();
    if (!line.empty()) lines.push_back(line);
    return lines;
}

int SliderX(ControlRef c, SInt32 value) {
    int span = c->bounds.right - c->bounds.left - kThumbWidth;
    long range = long(c->maximum) - long(c->minimum);
    if (range <= 0 || span <= 0) return c->bounds.left + kThumbWidth / 2;
    return c->bounds.left + kThumbWidth / 2 + int((long(value) - c->minimum) * span / range);
}

SInt32 SliderValue(ControlRef c, int h) {
    int span = c->bounds.right - c->bounds.left - kThumbWidth;
    long range = long(c->maximum) - long(c->minimum);
    if (range <= 0 || span <= 0) return c->minimum;
    int offset = std::clamp(h - c->bounds.left - kThumbWidth / 2, 0, span);
    return SInt32(c->minimum + (long(offset) * range + span / 2) / span);
}

void DrawButton(ControlRef c, const RGBColor& ink) {
    bool pressed = c->hilite != 0;
    Fill(Inset(c->bounds, 1), pressed ? kPressed : kWhite);
    Frame(c->bounds, ink);
    if (c->command != 0 && c->command == c->owner->defaultCommand) Frame(Inset(c->bounds, 1), ink);
    std::string t = Utf8(c->text);
    int h = (c->bounds.left + c->bounds.right - Utf8Width(t)) / 2;
    Text(t, h, c->bounds.top, c->bounds.bottom, pressed ? kWhite : ink);
}

void DrawCheckBox(ControlRef c, const RGBColor& ink) {
    int mid = (c->bounds.top + c->bounds.bottom) / 2;
    Rect box{SInt16(mid - 7), c->bounds.left, SInt16(mid + 7), SInt16(c->bounds.left + 14)};
    Fill(box, c->hilite ? kSelection : kWhite);
    Frame(box, ink);
    if (c->value != 0) Fill(Inset(box, 3), ink);
    Text(Utf8(c->text), c->bounds.left + 20, c->bounds.top, c->bounds.bottom, ink);
}

void DrawSlider(ControlRef c, const RGBColor& ink) {
    int mid = (c->bounds.top + c->bounds.bottom) / 2;
    int x = SliderX(c, c->value);
    Rect track{SInt16(mid - 2), SInt16(c->bounds.left + kThumbWidth / 2), SInt16(mid + 2),
               SInt16(c->bounds.right - kThumbWidth / 2)};
    Fill(track, kWhite);
    Rect done = track;
    done.right = SInt16(x);
    if (c->enabled) Fill(done, kPressed);
    Frame(track, ink);
    int half = std::min(9, (c->bounds.bottom - c->bounds.top) / 2);
    Rect thumb{SInt16(mid - half), SInt16(x - kThumbWidth / 2), SInt16(mid + half),
               SInt16(x + kThumbWidth / 2)};
    Fill(thumb, c->hilite ? kPressed : kWhite);
    Frame(thumb, ink);
}

void DrawPopup(ControlRef c, const RGBColor& ink) {
    Fill(Inset(c->bounds, 1), c->hilite ? kSelection : kWhite);
    Frame(c->bounds, ink);
    std::string item;
    if (c->menu && c->value >= 1 && size_t(c->value) <= c->menu->items.size())
        item = c->menu->items[size_t(c->value) - 1];
    Text(Utf8(item), c->bounds.left + 6, c->bounds.top, c->bounds.bottom, ink);
    // A small downward triangle at the right end.
    int mid = (c->bounds.top + c->bounds.bottom) / 2, right = c->bounds.right - 8;
    RGBForeColor(&ink);
    for (int row = 0; row < 5; ++row) {
        Rect line{SInt16(mid - 2 + row), SInt16(right - 9 + row), SInt16(mid - 1 + row), SInt16(right - row)};
        PaintRect(&line);
    }
}

void DrawEditText(ControlRef c, const RGBColor& ink) {
    bool focused = c->owner->focus == c;
    Fill(c->bounds, kWhite);
    Frame(c->bounds, focused ? kPressed : ink);
    if (focused) Frame(Inset(c->bounds, 1), kPressed);
    Rect inner = Inset(c->bounds, 2);
    ClipRect(&inner);
    int left = c->bounds.left + kTextInset;
    std::string before = Utf8(c->text.substr(0, size_t(c->selStart)));
    std::string selected = Utf8(c->text.substr(size_t(c->selStart), size_t(c->selEnd - c->selStart)));
    int x0 = left + Utf8Width(before), x1 = x0 + Utf8Width(selected);
    if (focused && x1 > x0)
        Fill(Rect{SInt16(inner.top + 1), SInt16(x0), SInt16(inner.bottom - 1), SInt16(x1)}, kSelection);
    Text(Utf8(c->text), left, c->bounds.top, c->bounds.bottom, ink);
    if (focused && x1 == x0)
        Fill(Rect{SInt16(inner.top + 2), SInt16(x0), SInt16(inner.bottom - 2), SInt16(x0 + 1)}, kBlack);
    ClipRect(&c->owner->port->portRect);
}

void DrawStaticText(ControlRef c, const RGBColor& ink) {
    int ascent = Ascent(), lineHeight = ascent + 5;
    int v = c->bounds.top + ascent;
    Rect clip = c->bounds;
    ClipRect(&clip);
    RGBForeColor(&ink);
    for (const std::string& line : Wrap(Utf8(c->text), c->bounds.right - c->bounds.left)) {
        MoveTo(c->bounds.left, short(v));
        DrawUtf8(line);
        v += lineHeight;
    }
    ClipRect(&c->owner->port->portRect);
}

void DrawGroupBox(ControlRef c, const RGBColor& ink) {
    Rect box = c->bounds;
    box.top = SInt16(box.top + 8);
    Frame(box, kGrey);
    std::string t = Utf8(c->text);
    if (t.empty()) return;
    Rect label{c->bounds.top, SInt16(c->bounds.left + 6), SInt16(c->bounds.top + 17),
               SInt16(c->bounds.left + 10 + Utf8Width(t))};
    EraseRect(&label);
    Text(t, c->bounds.left + 8, label.top, label.bottom, ink);
}

// The open menu of a pop-up: where it lies in the window.
Rect MenuRect(ControlRef c) {
    int width = c->bounds.right - c->bounds.left;
    for (const std::string& item : c->menu->items)
        width = std::max(width, Utf8Width(Utf8(item)) + 20);
    int height = int(c->menu->items.size()) * kItemHeight + 2;
    const Rect& port = c->owner->port->portRect;
    int top = c->bounds.bottom;
    if (top + height > port.bottom) top = std::max<int>(port.top, port.bottom - height);
    return Rect{SInt16(top), c->bounds.left, SInt16(top + height), SInt16(c->bounds.left + width)};
}

int ItemAt(ControlRef c, const Rect& menu, Point pt) {
    if (!PtInRect(pt, &menu)) return 0;
    int item = (pt.v - menu.top - 1) / kItemHeight + 1;
    return item >= 1 && size_t(item) <= c->menu->items.size() ? item : 0;
}

void DrawMenu(ControlRef c, const Rect& menu, int highlighted) {
    Fill(menu, kWhite);
    Frame(menu, kBlack);
    for (size_t i = 0; i < c->menu->items.size(); ++i) {
        int top = menu.top + 1 + int(i) * kItemHeight;
        bool on = int(i) + 1 == highlighted;
        if (on)
            Fill(Rect{SInt16(top), SInt16(menu.left + 1), SInt16(top + kItemHeight), SInt16(menu.right - 1)},
                 kPressed);
        Text(Utf8(c->menu->items[i]), menu.left + 8, top, top + kItemHeight, on ? kWhite : kBlack);
    }
}

ControlPartCode TrackPopup(ControlRef c, Point where) {
    if (!c->menu || c->menu->items.empty()) return kControlNoPart;
    Rect menu = MenuRect(c);
    GWorldPtr saved = nullptr;
    Rect local{0, 0, SInt16(menu.bottom - menu.top), SInt16(menu.right - menu.left)};
    const BitMap* portBits = GetPortBitMapForCopyBits(c->owner->port);
    if (NewGWorld(&saved, 32, &local, nullptr, nullptr, 0) == noErr)
        CopyBits(portBits, GetPortBitMapForCopyBits(saved), &menu, &local, srcCopy, nullptr);
    int highlighted = 0;
    DrawMenu(c, menu, highlighted);
    Point pt = where;
    MouseTrackingResult result = kMouseTrackingMouseDown;
    bool moved = false;
    for (;;) {
        TrackMouseLocation(c->owner->port, &pt, &result);
        if (result == kMouseTrackingMouseDragged) moved = true;
        int now = ItemAt(c, menu, pt);
        if (now != highlighted) DrawMenu(c, menu, highlighted = now);
        // A click on the pop-up itself leaves the menu open for the next click.
        if (result == kMouseTrackingMouseUp && (moved || now != 0 || !PtInRect(pt, &c->bounds))) break;
    }
    if (saved) {
        CopyBits(GetPortBitMapForCopyBits(saved), portBits, &local, &menu, srcCopy, nullptr);
        DisposeGWorld(saved);
    }
    int chosen = ItemAt(c, menu, pt);
    if (chosen == 0) return kControlNoPart;
    SetControl32BitValue(c, chosen);
    return kControlMenuPart;
}

ControlPartCode TrackSlider(ControlRef c, Point where) {
    c->hilite = kControlIndicatorPart;
    Point pt = where;
    MouseTrackingResult result = kMouseTrackingMouseDown;
    for (;;) {
        SInt32 v = SliderValue(c, pt.h);
        if (v != c->value) {
            c->value = v;
            DrawStandard(c);
            if (c->action) c->action(c, kControlIndicatorPart);
            if (!IsControl(c)) return kControlNoPart;
        }
        if (result == kMouseTrackingMouseUp) break;
        TrackMouseLocation(c->owner->port, &pt, &result);
    }
    c->hilite = 0;
    DrawStandard(c);
    return kControlIndicatorPart;
}

SInt16 CaretAt(ControlRef c, int h) {
    int left = c->bounds.left + kTextInset;
    for (size_t i = 0; i < c->text.size(); ++i) {
        int w0 = Utf8Width(Utf8(c->text.substr(0, i))), w1 = Utf8Width(Utf8(c->text.substr(0, i + 1)));
        if (h < left + (w0 + w1) / 2) return SInt16(i);
    }
    return SInt16(std::min<size_t>(c->text.size(), 32767));
}

} // namespace

ControlPartCode TrackPress(ControlRef c, ControlPartCode part) {
    c->hilite = UInt16(part);
    DrawControl(c);
    Point pt = gToolbox.mouse;
    MouseTrackingResult result = kMouseTrackingMouseDown;
    while (result != kMouseTrackingMouseUp) {
        TrackMouseLocation(c->owner->port, &pt, &result);
        UInt16 now = PtInRect(pt, &c->bounds) ? UInt16(part) : 0;
        if (now != c->hilite) {
            c->hilite = now;
            DrawControl(c);
        }
    }
    bool inside = c->hilite != 0;
    c->hilite = 0;
    DrawControl(c);
    return inside ? part : ControlPartCode(kControlNoPart);
}

void DrawStandard(ControlRef c) {
    const RGBColor& ink = c->enabled ? kBlack : kGrey;
    RGBBackColor(&kWindowBackground);
    EraseRect(&c->bounds);
    switch (c->kind) {
        case Kind::Button:
            return DrawButton(c, ink);
        case Kind::CheckBox:
            return DrawCheckBox(c, ink);
        case Kind::Slider:
            return DrawSlider(c, ink);
        case Kind::Popup:
            return DrawPopup(c, ink);
        case Kind::EditText:
            return DrawEditText(c, ink);
        case Kind::StaticText:
            return DrawStaticText(c, ink);
        case Kind::GroupBox:
            return DrawGroupBox(c, ink);
        case Kind::Custom:
            return;
    }
}

ControlPartCode TrackStandard(ControlRef c, Point where) {
    switch (c->kind) {
        case Kind::Button:
            return TrackPress(c, kControlButtonPart);
        case Kind::CheckBox: {
            ControlPartCode part = TrackPress(c, kControlCheckBoxPart);
            if (part != kControlNoPart) SetControl32BitValue(c, c->value ? 0 : 1);
            return part;
        }
        case Kind::Slider:
            return TrackSlider(c, where);
        case Kind::Popup:
            return TrackPopup(c, where);
        case Kind::EditText: {
            if (c->owner->focus != c) SetKeyboardFocus(c->owner, c, kControlFocusNextPart);
            c->selStart = c->selEnd = CaretAt(c, where.h);
            DrawStandard(c);
            return kControlEditTextPart;
        }
        default:
            return kControlNoPart;
    }
}

void EditKey(ControlRef c, UInt8 charCode, UInt32 keyCode) {
    size_t start = size_t(c->selStart), end = size_t(c->selEnd);
    if (keyCode == kKeyBackspace) {
        if (start == end && start > 0) --start;
        c->text.erase(start, end - start);
        end = start;
    } else if (keyCode == kKeyLeft) {
        start = end = start == end && start > 0 ? start - 1 : start;
    } else if (keyCode == kKeyRight) {
        end = start = start == end ? std::min(end + 1, c->text.size()) : end;
    } else if (charCode >= 0x20 && charCode != 0x7F) {
        c->text.replace(start, end - start, 1, char(charCode));
        start = end = start + 1;
    } else {
        return;
    }
    c->selStart = c->selEnd = SInt16(std::min<size_t>(start, 32767));
    Draw1Control(c);
}

Point PopupItemPoint(ControlRef c, int item) {
    SavedGWorldRec saved;
    SetPort(c->owner->port);
    Rect menu = c->menu ? MenuRect(c) : c->bounds;
    return Point{SInt16(menu.top + 1 + (item - 1) * kItemHeight + kItemHeight / 2), SInt16(menu.left + 20)};
}

} // namespace toolbox::hi
