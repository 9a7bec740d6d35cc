// The windows source: every shown toolbox window gets a real SDL2 window that shows its
// port, and the mouse and keyboard of those windows become toolbox input. Keys that edit
// or navigate come as key presses; typed characters come as text input (UTF-8, turned into
// Mac Roman). Closing a window counts as escape.
#include "HIObjects.h"

#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

#include <SDL.h>

#include <cstring>
#include <deque>
#include <map>

namespace toolbox::hi {
namespace {

using Type = InputEvent::Type;

struct Shown {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
};

UInt32 Modifiers(SDL_Keymod mod) {
    UInt32 bits = 0;
    if (mod & KMOD_SHIFT) bits |= shiftKey;
    if (mod & KMOD_ALT) bits |= optionKey;
    if (mod & KMOD_CTRL) bits |= controlKey;
    if (mod & KMOD_GUI) bits |= cmdKey;
    if (mod & KMOD_CAPS) bits |= alphaLock;
    return bits;
}

class WindowSource final : public InputSource {
  public:
    ~WindowSource() override {
        for (auto& [w, shown] : shown_)
            Destroy(shown);
        SDL_Quit();
    }

    InputKind Kind() const override { return InputKind::Windows; }

    void WindowShown(WindowRef w) override {
        if (shown_.count(w)) return;
        Shown s;
        int width = w->content.right - w->content.left, height = w->content.bottom - w->content.top;
        s.window = SDL_CreateWindow(w->title.c_str(), w->content.left, w->content.top, width, height,
                                    SDL_WINDOW_SHOWN);
        if (s.window) s.renderer = SDL_CreateRenderer(s.window, -1, SDL_RENDERER_SOFTWARE);
        if (s.renderer)
            s.texture = SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_ARGB32, SDL_TEXTUREACCESS_STREAMING,
                                          width, height);
        if (!s.texture) {
            Destroy(s);
            return;
        }
        shown_[w] = s;
        Present(w);
    }

    void WindowGone(WindowRef w) override {
        auto it = shown_.find(w);
        if (it == shown_.end()) return;
        Destroy(it->second);
        shown_.erase(it);
    }

    void WindowMoved(WindowRef w) override {
        auto it = shown_.find(w);
        if (it != shown_.end()) SDL_SetWindowPosition(it->second.window, w->content.left, w->content.top);
    }

    void Present(WindowRef w) override {
        auto it = shown_.find(w);
        if (it == shown_.end()) return;
        const PixMap& pm = w->port->pixMap;
        SDL_UpdateTexture(it->second.texture, nullptr, pm.baseAddr, int(pm.rowBytes & qd::kRowBytesMask));
        SDL_RenderCopy(it->second.renderer, it->second.texture, nullptr, nullptr);
        SDL_RenderPresent(it->second.renderer);
    }

    InputEvent Next(WindowRef) override {
        for (auto& [w, s] : shown_)
            Present(w);
        while (queue_.empty()) {
            SDL_Event ev;
            if (SDL_WaitEventTimeout(&ev, 200) == 0) continue;
            if (ev.type == SDL_QUIT) return InputEvent{};
            Translate(ev);
        }
        InputEvent e = queue_.front();
        queue_.pop_front();
        return e;
    }

  private:
    std::map<WindowRef, Shown> shown_;
    std::deque<InputEvent> queue_;

    static void Destroy(Shown& s) {
        if (s.texture) SDL_DestroyTexture(s.texture);
        if (s.renderer) SDL_DestroyRenderer(s.renderer);
        if (s.window) SDL_DestroyWindow(s.window);
        s = Shown{};
    }

    WindowRef Owner(Uint32 windowID) {
        for (auto& [w, s] : shown_)
            if (SDL_GetWindowID(s.window) == windowID) return w;
        return nullptr;
    }

    void Push(Type type, WindowRef w, int x, int y, UInt32 mods, UInt8 charCode = 0, UInt32 keyCode = 0) {
        if (!w) return;
        InputEvent e;
        e.type = type;
        e.window = w;
        e.where = Point{SInt16(y), SInt16(x)};
        e.modifiers = mods;
        e.charCode = charCode;
        e.keyCode = keyCode;
        queue_.push_back(e);
    }

    void Translate(const SDL_Event& ev) {
        UInt32 mods = Modifiers(SDL_GetModState());
        switch (ev.type) {
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (ev.button.button != SDL_BUTTON_LEFT) return;
                Push(ev.type == SDL_MOUSEBUTTONDOWN ? Type::MouseDown : Type::MouseUp,
                     Owner(ev.button.windowID), ev.button.x, ev.button.y, mods);
                return;
            case SDL_MOUSEMOTION:
                if (ev.motion.state & SDL_BUTTON_LMASK)
                    Push(Type::MouseMoved, Owner(ev.motion.windowID), ev.motion.x, ev.motion.y, mods);
                return;
            case SDL_KEYDOWN: {
                static const std::map<SDL_Keycode, std::pair<UInt32, UInt8>> keys{
                    {SDLK_RETURN, {kKeyReturn, 0x0D}},       {SDLK_KP_ENTER, {kKeyEnter, 0x03}},
                    {SDLK_ESCAPE, {kKeyEscape, 0x1B}},       {SDLK_TAB, {kKeyTab, 0x09}},
                    {SDLK_BACKSPACE, {kKeyBackspace, 0x08}}, {SDLK_LEFT, {kKeyLeft, 0x1C}},
                    {SDLK_RIGHT, {kKeyRight, 0x1D}}};
                auto it = keys.find(ev.key.keysym.sym);
                if (it != keys.end())
                    Push(Type::Key, Owner(ev.key.windowID), 0, 0, mods, it->second.second, it->second.first);
                return;
            }
            case SDL_TEXTINPUT:
                for (char ch : Utf8ToMacRoman(ev.text.text))
                    Push(Type::Key, Owner(ev.text.windowID), 0, 0, mods, UInt8(ch), 0);
                return;
            case SDL_WINDOWEVENT:
                if (ev.window.event == SDL_WINDOWEVENT_CLOSE)
                    Push(Type::Key, Owner(ev.window.windowID), 0, 0, 0, 0x1B, kKeyEscape);
                else if (ev.window.event == SDL_WINDOWEVENT_EXPOSED)
                    if (WindowRef w = Owner(ev.window.windowID)) Present(w);
                return;
            default:
                return;
        }
    }
};

} // namespace

std::unique_ptr<InputSource> MakeWindowSource(std::string& error) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error = std::string("cannot open windows: ") + SDL_GetError();
        return nullptr;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        SDL_Quit();
        error = "cannot open windows: no display";
        return nullptr;
    }
    SDL_StartTextInput();
    return std::make_unique<WindowSource>();
}

} // namespace toolbox::hi
