// Window descriptions: JSON files in a bundle's resources, checked whole when they are
// opened, and the windows and controls made from them.
#include "toolbox/Nib.h"
#include "HIObjects.h"

#include "../corefoundation/CFObject.h"
#include "../ToolboxState.h"
#include "toolbox/TextUtils.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <set>

using nlohmann::json;

struct OpaqueIBNibRef {
    std::string file;
    json windows;
};

namespace toolbox::hi {
namespace {

const std::map<std::string, Kind> kKinds{{"button", Kind::Button},     {"checkbox", Kind::CheckBox},
                                         {"slider", Kind::Slider},     {"popup", Kind::Popup},
                                         {"static", Kind::StaticText}, {"edittext", Kind::EditText},
                                         {"group", Kind::GroupBox}};
const std::set<std::string> kWindowKeys{"title", "bounds", "defaultCommand", "cancelCommand", "controls"};
const std::set<std::string> kControlKeys{"signature", "id",      "kind",   "class", "bounds",
                                         "minimum",   "maximum", "value",  "text",  "command",
                                         "items",     "visible", "enabled"};

struct Invalid {
    std::string message;
};

OSType Code(const std::string& utf8) {
    std::string mac = Utf8ToMacRoman(utf8);
    mac.resize(4, ' ');
    return (OSType(UInt8(mac[0])) << 24) | (OSType(UInt8(mac[1])) << 16) | (OSType(UInt8(mac[2])) << 8) |
           OSType(UInt8(mac[3]));
}

void CheckKeys(const json& object, const std::set<std::string>& allowed) {
    for (auto& [key, value] : object.items())
        if (!allowed.count(key)) throw Invalid{"unknown field \"" + key + "\""};
}

long Integer(const json& object, const char* key, long low, long high, long fallback, bool required = false) {
    if (!object.contains(key)) {
        if (required) throw Invalid{std::string("\"") + key + "\" is missing"};
        return fallback;
    }
    const json& v = object[key];
    if (!v.is_number_integer() || v.get<long>() < low || v.get<long>() > high)
        throw Invalid{std::string("\"") + key + "\" must be a whole number from " + std::to_string(low) +
                      " to " + std::to_string(high)};
    return v.get<long>();
}

std::string Text(const json& object, const char* key, size_t maxLength = std::string::npos) {
    if (!object.contains(key)) return "";
    const json& v = object[key];
    if (!v.is_string() || Utf8ToMacRoman(v.get<std::string>()).size() > maxLength)
        throw Invalid{std::string("\"") + key + "\" must be a text" +
                      (maxLength == std::string::npos
                           ? ""
                           : " of at most " + std::to_string(maxLength) + " characters")};
    return v.get<std::string>();
}

bool Flag(const json& object, const char* key) {
    if (!object.contains(key)) return true;
    if (!object[key].is_boolean()) throw Invalid{std::string("\"") + key + "\" must be true or false"};
    return object[key].get<bool>();
}

Rect Bounds(const json& object, bool window) {
    if (!object.contains("bounds") || !object["bounds"].is_object()) throw Invalid{"\"bounds\" is missing"};
    const json& b = object["bounds"];
    CheckKeys(b, {"left", "top", "width", "height"});
    long left = Integer(b, "left", -16000, 16000, 0, true), top = Integer(b, "top", -16000, 16000, 0, true);
    long width = Integer(b, "width", window ? 1 : 0, window ? 4095 : 16000, 0, true);
    long height = Integer(b, "height", window ? 1 : 0, window ? 4095 : 16000, 0, true);
    return Rect{SInt16(top), SInt16(left), SInt16(top + height), SInt16(left + width)};
}

// Builds the control; throws Invalid naming what is wrong.
std::unique_ptr<OpaqueControlRef> MakeControl(const json& d, bool classesKnown) {
    if (!d.is_object()) throw Invalid{"a control must be an object"};
    CheckKeys(d, kControlKeys);
    auto c = std::make_unique<OpaqueControlRef>();
    if (!d.contains("signature")) throw Invalid{"\"signature\" is missing"};
    c->id.signature = Code(Text(d, "signature", 4));
    c->id.id = SInt32(Integer(d, "id", INT32_MIN, INT32_MAX, 0, true));
    if (d.contains("kind") == d.contains("class")) throw Invalid{"give either \"kind\" or \"class\""};
    if (d.contains("kind")) {
        auto it = kKinds.find(Text(d, "kind"));
        if (it == kKinds.end())
            throw Invalid{"unknown kind \"" + Text(d, "kind") +
                          "\" (button, checkbox, slider, popup, static, edittext, group)"};
        c->kind = it->second;
    } else {
        c->kind = Kind::Custom;
        std::string id = Text(d, "class");
        if (classesKnown) {
            auto it = gToolbox.controlClasses.find(id);
            if (it == gToolbox.controlClasses.end())
                throw Invalid{"the class \"" + id + "\" is not registered"};
            c->customClass = it->second;
        }
    }
    c->bounds = Bounds(d, false);
    c->text = Utf8ToMacRoman(Text(d, "text"));
    c->command = d.contains("command") ? Code(Text(d, "command", 4)) : 0;
    c->visible = Flag(d, "visible");
    c->enabled = Flag(d, "enabled");
    if (d.contains("items")) {
        if (c->kind != Kind::Popup || !d["items"].is_array())
            throw Invalid{"\"items\" belong to pop-ups, as a list"};
        c->menu = std::make_unique<OpaqueMenuRef>();
        for (const json& item : d["items"]) {
            if (!item.is_string()) throw Invalid{"every item must be a text"};
            c->menu->items.push_back(Utf8ToMacRoman(item.get<std::string>()));
        }
    } else if (c->kind == Kind::Popup) {
        c->menu = std::make_unique<OpaqueMenuRef>();
    }
    long count = c->menu ? long(c->menu->items.size()) : 0;
    bool popup = c->kind == Kind::Popup;
    c->minimum = SInt32(Integer(d, "minimum", INT32_MIN, INT32_MAX, popup ? 1 : 0));
    c->maximum =
        SInt32(Integer(d, "maximum", INT32_MIN, INT32_MAX, popup ? count : c->kind == Kind::CheckBox));
    if (c->minimum > c->maximum && !(popup && count == 0)) throw Invalid{"\"minimum\" is above \"maximum\""};
    c->value = SInt32(Integer(d, "value", c->minimum, std::max(c->minimum, c->maximum), c->minimum));
    return c;
}

void CheckWindow(const json& w) {
    if (!w.is_object()) throw Invalid{"a window must be an object"};
    CheckKeys(w, kWindowKeys);
    Bounds(w, true);
    Text(w, "title");
    Text(w, "defaultCommand", 4);
    Text(w, "cancelCommand", 4);
    if (w.contains("controls") && !w["controls"].is_array()) throw Invalid{"\"controls\" must be a list"};
}

std::string ControlLabel(const json& d, size_t index) {
    std::string label = "control " + std::to_string(index + 1);
    // Only a whole number is shown as the id: anything else may be nested without bound.
    if (d.is_object() && d.contains("signature") && d["signature"].is_string())
        label += " (\"" + d["signature"].get<std::string>() + "\" " +
                 (d.contains("id") && d["id"].is_number_integer() ? d["id"].dump() : std::string("?")) + ")";
    return label;
}

// Every window and control of a description, or the first fault, named.
std::string Check(const std::string& file, const json& root) {
    if (!root.is_object() || !root.contains("windows") || !root["windows"].is_object())
        return file + ": the description must hold an object \"windows\"";
    for (auto& [name, w] : root["windows"].items()) {
        std::string where = file + ": window \"" + name + "\"";
        try {
            CheckWindow(w);
        } catch (const Invalid& e) {
            return where + ": " + e.message;
        }
        if (!w.contains("controls")) continue;
        std::set<std::pair<OSType, SInt32>> ids;
        for (size_t i = 0; i < w["controls"].size(); ++i) {
            const json& d = w["controls"][i];
            try {
                auto c = MakeControl(d, false);
                if (!ids.insert({c->id.signature, c->id.id}).second)
                    throw Invalid{"its signature and id are taken"};
            } catch (const Invalid& e) {
                return where + ", " + ControlLabel(d, i) + ": " + e.message;
            }
        }
    }
    return "";
}

OSStatus Refuse(OSStatus code, const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return code;
}

} // namespace
} // namespace toolbox::hi

using namespace toolbox;
using namespace toolbox::hi;

namespace toolbox {

OSStatus CreateNibReferenceFromFile(const std::string& path, IBNibRef* outNibRef) {
    if (!outNibRef) return paramErr;
    *outNibRef = nullptr;
    std::ifstream in(path);
    if (!in) return Refuse(kIBCarbonRuntimeCantFindNibFile, path + ": cannot read the window description");
    json root = json::parse(in, nullptr, false);
    if (root.is_discarded())
        return Refuse(kIBCarbonRuntimeObjectNotOfRequestedType, path + ": not valid JSON");
    std::string fault = Check(path, root);
    if (!fault.empty()) return Refuse(kIBCarbonRuntimeObjectNotOfRequestedType, fault);
    *outNibRef = new OpaqueIBNibRef{path, root["windows"]};
    return noErr;
}

} // namespace toolbox

extern "C" {

OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef) {
    if (!outNibRef) return paramErr;
    *outNibRef = nullptr;
    std::string folder = BundleResourcesFolder(inBundle), name = CFStringToUtf8(inNibName);
    if (folder.empty() || name.empty() || name.find('/') != std::string::npos) return paramErr;
    return CreateNibReferenceFromFile(folder + "/" + name + ".json", outNibRef);
}

OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef) {
    return CreateNibReferenceWithCFBundle(CFBundleGetMainBundle(), inNibName, outNibRef);
}

OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow) {
    if (!inNibRef || !outWindow) return paramErr;
    *outWindow = nullptr;
    std::string name = CFStringToUtf8(inName);
    if (!inNibRef->windows.contains(name))
        return Refuse(kIBCarbonRuntimeCantFindObject, inNibRef->file + ": no window \"" + name + "\"");
    const json& d = inNibRef->windows[name];
    std::vector<std::unique_ptr<OpaqueControlRef>> controls;
    if (d.contains("controls")) {
        for (size_t i = 0; i < d["controls"].size(); ++i) {
            try {
                controls.push_back(MakeControl(d["controls"][i], true));
            } catch (const Invalid& e) {
                return Refuse(kIBCarbonRuntimeObjectNotOfRequestedType,
                              inNibRef->file + ": window \"" + name + "\", " +
                                  ControlLabel(d["controls"][i], i) + ": " + e.message);
            }
        }
    }
    OSStatus err = noErr;
    WindowRef w = NewWindow(name, Text(d, "title"), Bounds(d, true), err);
    if (!w) return err;
    w->defaultCommand = d.contains("defaultCommand") ? Code(Text(d, "defaultCommand")) : 0;
    w->cancelCommand = d.contains("cancelCommand") ? Code(Text(d, "cancelCommand")) : 0;
    for (auto& c : controls)
        AddControl(w, std::move(c));
    DrawControls(w);
    *outWindow = w;
    return noErr;
}

void DisposeNibReference(IBNibRef inNibRef) {
    delete inNibRef;
}

} // extern "C"
