// The toolbox's process-wide state, all in one place.
//
// The platform keeps a handful of globals that every program in a process shares: the
// result of the last memory call, the current port, the open resource files, the event
// queue. Here they live in one record, gToolbox, which exists once per process because
// the toolbox is one shared library that the hosts and the plug-in both load.
//
// Each area owns its fields and touches no other area's; nothing outside the toolbox
// reads this record.
#pragma once

#include "toolbox/MacTypes.h"
#include "toolbox/QuickDraw.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct OpaqueWindowPtr;

namespace toolbox {

struct CFObject;
struct ResourceFile;
struct FontCache;
namespace hi {
struct ControlClass;
struct EventTarget;
class InputSource;
} // namespace hi

// Windows: one modal loop running for a window; QuitAppModalLoopForWindow sets quit.
struct ModalLoop {
    OpaqueWindowPtr* window;
    bool quit;
};

// QuickDraw: pixel memory of disposed buffers, kept for the next buffer of a fitting size
// so that a render does not fault in fresh pages on every frame. Blocks are malloc'd.
struct PixelMemoryPool {
    struct Block {
        void* memory;
        size_t capacity;
    };
    std::mutex lock;
    std::vector<Block> blocks; // oldest first
    size_t totalBytes = 0;
    PixelMemoryPool() = default;
    PixelMemoryPool(const PixelMemoryPool&) = delete;
    PixelMemoryPool& operator=(const PixelMemoryPool&) = delete;
    ~PixelMemoryPool(); // frees the kept blocks
};

// Memory: the blocks NewPtr and NewPtrClear handed out and not yet disposed of, by address,
// with their byte counts, and the master pointer records of the live handles. The memory
// calls answer only for addresses listed here and never read memory around any other
// pointer, such as a block a host allocated itself. Blocks are malloc'd; any thread may
// allocate.
struct MemoryRegistry {
    std::mutex lock;
    std::unordered_map<const void*, Size> blocks;
    std::unordered_set<const void*> masters;
};

struct ToolboxState {
    // Memory: first, so that it outlives every other field that holds blocks or handles.
    MemoryRegistry memory;

    // Alerts: set once a stop alert has been asked for (CreateStandardAlert), made or not;
    // ExitToShell then ends with status 70.
    bool stopAlertAsked = false;

    // Core Foundation: the strings made by CFSTR, one per text, alive until the process ends.
    std::mutex constantStringsLock;
    std::map<std::string, std::unique_ptr<CFObject>> constantStrings;

    // QuickDraw: the current port and device (NULL until set), and the pixel memory pool.
    GrafPort* currentPort = nullptr;
    GDHandle currentDevice = nullptr;
    PixelMemoryPool pixelPool;

    // Files: directory numbers (FSSpec.parID) and the absolute paths they stand for; the
    // number of directories[i] is kFirstDirID + i (files/Files.cpp).
    std::vector<std::string> directories;
    // File references (FSRef): the absolute paths they name; reference n is items[n - 1].
    std::vector<std::string> items;
    // Data forks opened by reference number (FSpOpenDF): number to file descriptor.
    std::map<SInt16, int> openFiles;
    SInt16 nextFileRefNum = 1;

    // Resources: the open resource files, oldest first (the chain is searched from the
    // current file towards the front), the current file's reference number (0: none),
    // the next reference number to hand out, and the result of the last call.
    std::vector<std::shared_ptr<ResourceFile>> resourceFiles;
    SInt16 currentResFile = 0;
    SInt16 nextResRefNum = 1;
    OSErr resError = noErr;

    // Text: FreeType, the fonts and their rendered glyphs, made on first use.
    std::shared_ptr<FontCache> fonts;

    // Core Foundation: the bundles found so far, by folder, alive until the process ends.
    std::map<std::string, std::unique_ptr<CFObject>> bundles;

    // Windows and events, used from one thread (the host's): the windows, front first; the
    // registered custom control classes by identifier; the application's event target; the
    // modal loops running, innermost last; the input source (made on first use); the
    // modifier keys and mouse point of the input being handled; script checks that failed.
    std::vector<OpaqueWindowPtr*> windows;
    std::map<std::string, std::shared_ptr<hi::ControlClass>> controlClasses;
    std::shared_ptr<hi::EventTarget> applicationTarget;
    std::vector<ModalLoop*> modalLoops;
    std::shared_ptr<hi::InputSource> input;
    UInt32 keyModifiers = 0;
    Point mouse{0, 0};
    int scriptFailures = 0;
};

extern ToolboxState gToolbox;

// Memory: result of the last memory call, per thread as on the platform.
extern thread_local OSErr gMemError;

} // namespace toolbox
