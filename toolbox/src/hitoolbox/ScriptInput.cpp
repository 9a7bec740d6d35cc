// The script source: a plain-text list of input steps (see toolbox/InputSources.h). Each
// step becomes the mouse and key input a user would give, queued and handed out one at a
// time, so that scripted input goes through the same dispatch, tracking and action
// procedures as real input. Screenshots and checks run when the loop reaches them.
#include "HIObjects.h"

#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

#include <cstdio>
#include <deque>
#include <sstream>

namespace toolbox::hi {
namespace {

using Type = InputEvent::Type;

struct NamedKey {
    const char* name;
    UInt32 code;
    UInt8 charCode;
};
constexpr NamedKey kKeys[] = {{"return", kKeyReturn, 0x0D},       {"enter", kKeyEnter, 0x03},
                              {"escape", kKeyEscape, 0x1B},       {"tab", kKeyTab, 0x09},
                              {"backspace", kKeyBackspace, 0x08}, {"left", kKeyLeft, 0x1C},
                              {"right", kKeyRight, 0x1D}};

bool ModifierBit(const std::string& word, UInt32& bits) {
    if (word == "shift")
        bits |= shiftKey;
    else if (word == "option")
        bits |= optionKey;
    else if (word == "control")
        bits |= controlKey;
    else if (word == "command")
        bits |= cmdKey;
    else
        return false;
    return true;
}

OSType Signature(const std::string& word) {
    std::string padded = (word + "    ").substr(0, 4);
    return (OSType(UInt8(padded[0])) << 24) | (OSType(UInt8(padded[1])) << 16) |
           (OSType(UInt8(padded[2])) << 8) | OSType(UInt8(padded[3]));
}

Point Middle(const Rect& r) {
    return Point{SInt16((r.top + r.bottom) / 2), SInt16((r.left + r.right) / 2)};
}

class ScriptSource final : public InputSource {
  public:
    ScriptSource(const std::string& text, std::string name) : name_(std::move(name)) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines_.push_back(line);
    }

    InputKind Kind() const override { return InputKind::Script; }

    InputEvent Next(WindowRef front) override {
        while (queue_.empty()) {
            if (next_ >= lines_.size()) return InputEvent{};
            ++next_;
            Step(lines_[next_ - 1], front);
        }
        InputEvent e = queue_.front();
        queue_.pop_front();
        return e;
    }

  private:
    std::vector<std::string> lines_;
    size_t next_ = 0;
    std::string name_;
    std::deque<InputEvent> queue_;

    void Fail(const std::string& message) {
        std::fprintf(stderr, "%s:%zu: %s\n", name_.c_str(), next_, message.c_str());
        ++gToolbox.scriptFailures;
    }

    void Mouse(Type type, Point where, UInt32 mods) {
        InputEvent e;
        e.type = type;
        e.where = where;
        e.modifiers = mods;
        queue_.push_back(e);
    }

    void Key(UInt8 charCode, UInt32 keyCode, UInt32 mods) {
        InputEvent e;
        e.type = Type::Key;
        e.charCode = charCode;
        e.keyCode = keyCode;
        e.modifiers = mods;
        queue_.push_back(e);
    }

    // Reads numbers, then modifier words; false on anything else.
    bool Args(std::istringstream& in, std::vector<long>& numbers, size_t wanted, size_t optional,
              UInt32& mods) {
        std::string word;
        while (in >> word) {
            char* end = nullptr;
            long n = std::strtol(word.c_str(), &end, 10);
            if (*end == '\0' && numbers.size() < wanted + optional && mods == 0) {
                numbers.push_back(n);
            } else if (!ModifierBit(word, mods)) {
                return false;
            }
        }
        return numbers.size() >= wanted;
    }

    ControlRef Control(WindowRef front, const std::string& sig, long id) {
        ControlRef c = FindControl(front, Signature(sig), SInt32(id));
        if (!c) Fail("no control " + sig + " " + std::to_string(id) + " in the front window");
        return c;
    }

    void Step(const std::string& line, WindowRef front) {
        std::istringstream in(line);
        std::string verb;
        if (!(in >> verb) || verb[0] == '#') return;
        if (!front && verb != "key" && verb != "type") return Fail("no window for: " + line);
        std::vector<long> n;
        UInt32 mods = 0;
        if (verb == "click") {
            if (!Args(in, n, 2, 0, mods)) return Fail("usage: click H V [mods]");
            Point p{SInt16(n[1]), SInt16(n[0])};
            Mouse(Type::MouseDown, p, mods);
            Mouse(Type::MouseUp, p, mods);
        } else if (verb == "drag") {
            if (!Args(in, n, 4, 1, mods)) return Fail("usage: drag H1 V1 H2 V2 [steps] [mods]");
            long steps = n.size() > 4 ? std::max(1L, std::min(n[4], 1000L)) : 8;
            Mouse(Type::MouseDown, Point{SInt16(n[1]), SInt16(n[0])}, mods);
            for (long i = 1; i <= steps; ++i)
                Mouse(
                    Type::MouseMoved,
                    Point{SInt16(n[1] + (n[3] - n[1]) * i / steps), SInt16(n[0] + (n[2] - n[0]) * i / steps)},
                    mods);
            Mouse(Type::MouseUp, Point{SInt16(n[3]), SInt16(n[2])}, mods);
        } else if (verb == "press" || verb == "choose") {
            std::string sig;
            in >> sig;
            bool choose = verb == "choose";
            if (!Args(in, n, choose ? 2 : 1, 0, mods))
                return Fail("usage: press SIG ID [mods] / choose SIG ID ITEM");
            ControlRef c = Control(front, sig, n[0]);
            if (!c) return;
            Mouse(Type::MouseDown, Middle(c->bounds), mods);
            Point up = choose ? PopupItemPoint(c, int(n[1])) : Middle(c->bounds);
            if (choose) Mouse(Type::MouseMoved, up, mods);
            Mouse(Type::MouseUp, up, mods);
        } else if (verb == "type") {
            std::string rest;
            std::getline(in, rest);
            if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
            for (char ch : Utf8ToMacRoman(rest))
                Key(UInt8(ch), 0, 0);
        } else if (verb == "key") {
            std::string name;
            in >> name;
            std::string word;
            while (in >> word)
                if (!ModifierBit(word, mods)) return Fail("unknown modifier " + word);
            for (const NamedKey& k : kKeys)
                if (name == k.name) return Key(k.charCode, k.code, mods);
            std::string mac = Utf8ToMacRoman(name);
            if (mac.size() != 1) return Fail("unknown key " + name);
            Key(UInt8(mac[0]), 0, mods);
        } else if (verb == "screenshot") {
            std::string path, error;
            std::getline(in >> std::ws, path);
            if (path.empty()) return Fail("usage: screenshot PATH");
            if (!WritePortPNG(front->port, path, error)) Fail(error);
        } else if (verb == "expect") {
            Expect(in, front);
        } else {
            Fail("unknown step: " + line);
        }
    }

    void Expect(std::istringstream& in, WindowRef front) {
        std::string what, sig;
        long id = 0;
        if (!(in >> what >> sig >> id)) return Fail("usage: expect value|text SIG ID ...");
        ControlRef c = Control(front, sig, id);
        if (!c) return;
        std::string label = sig + " " + std::to_string(id);
        if (what == "value") {
            long wanted;
            if (!(in >> wanted)) return Fail("usage: expect value SIG ID N");
            if (c->value != wanted)
                Fail("expected the value of " + label + " to be " + std::to_string(wanted) + ", it is " +
                     std::to_string(c->value));
        } else if (what == "text") {
            std::string wanted;
            std::getline(in >> std::ws, wanted);
            std::string shown = c->text;
            if (c->kind == Kind::Popup && c->menu && c->value >= 1 &&
                size_t(c->value) <= c->menu->items.size())
                shown = c->menu->items[size_t(c->value) - 1];
            shown = MacRomanToUtf8(shown);
            if (shown != wanted)
                Fail("expected the text of " + label + " to be \"" + wanted + "\", it is \"" + shown + "\"");
        } else {
            Fail("usage: expect value|text SIG ID ...");
        }
    }
};

} // namespace

std::unique_ptr<InputSource> MakeScriptSource(const std::string& text, const std::string& name) {
    return std::make_unique<ScriptSource>(text, name);
}

} // namespace toolbox::hi
