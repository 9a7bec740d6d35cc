// Pictures and images from files, URLs and the application bundle, through the graphics
// importer and image sources, and a picture's top-left part as a pixel buffer.
#include "util/EasyFile.h"

#include "render/CGGlue.h"
#include "render/pixelAccess.h"
#include "util/commonprocs.h"
#include "util/failures.h"

#include "toolbox/ImageIO.h"
#include "toolbox/LaunchServices.h"

namespace {

// The resource's URL in the main bundle (the caller releases it), or nil.
CFURLRef CopyBundleResourceURL(const char* theName, const char* theType, const char* thePath) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle || !theName) return nullptr;
    auto make = [](const char* text) {
        return text && *text ? CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8)
                             : nullptr;
    };
    CFStringRef name = make(theName), type = make(theType), path = make(thePath);
    CFURLRef url = name ? CFBundleCopyResourceURL(bundle, name, type, path) : nullptr;
    for (CFStringRef s : {name, type, path})
        if (s) CFRelease(s);
    return url;
}

FSSpec URL2FSSpec(CFURLRef theURL) {
    FSRef ref{};
    if (!theURL || !CFURLGetFSRef(theURL, &ref)) return FSSpec{};
    return FSRef2FSSpec(ref);
}

} // namespace

PicHandle ReadPictureFromFSS(const FSSpec& theFSS, PString& theName) {
    theName = PString(theFSS.name);
    GraphicsImportComponent importer = nullptr;
    if (GetGraphicsImporterForFile(&theFSS, &importer) != noErr) return nullptr;
    PicHandle picture = nullptr;
    GraphicsImportGetAsPicture(importer, &picture);
    CloseComponent(importer);
    return picture;
}

PicHandle ReadPictureFromFSRefUsingQT(const FSRef& theFSRef, PString& theName) {
    return ReadPictureFromFSS(FSRef2FSSpec(theFSRef), theName);
}

PicHandle ReadPictureFromFSRef(const FSRef& theFSRef, PString& theName) {
    return ReadPictureFromFSRefUsingQT(theFSRef, theName);
}

PicHandle LoadPictureFile(PString& theName) {
    theName = "Dummy";
    FSSpec spec;
    if (!EasyNavGetFile(PString("Choose Picture"), kAnyFileType, kAnyFileType, false, spec)) return nullptr;
    return ReadPictureFromFSS(spec, theName);
}

PicHandle LoadPictureFromBundle(const char* theName, const char* theType) {
    CFURLRef url = CopyBundleResourceURL(theName, theType, nullptr);
    if (!url) return nullptr;
    FSSpec spec = URL2FSSpec(url);
    CFRelease(url);
    PString name;
    return ReadPictureFromFSS(spec, name);
}

void LaunchFileFromBundle(const char* theName, const char* theExtension, const char* thePath) {
    CFURLRef url = CopyBundleResourceURL(theName, theExtension, thePath);
    if (!url) return;
    LSOpenCFURLRef(url, nullptr);
    CFRelease(url);
}

CGImageRef GetCGImageFromFSS(const FSSpec& theFSS) {
    GraphicsImportComponent importer = nullptr;
    if (GetGraphicsImporterForFile(&theFSS, &importer) != noErr) return nullptr;
    CGImageRef image = nullptr;
    GraphicsImportCreateCGImage(importer, &image, kGraphicsImportCreateCGImageUsingCurrentSettings);
    CloseComponent(importer);
    return image;
}

CGImageRef GetCGImageFromURLUsingQT(CFURLRef theFile) {
    if (!theFile) return nullptr;
    FSRef ref{};
    if (!CFURLGetFSRef(theFile, &ref)) return nullptr;
    return GetCGImageFromFSS(FSRef2FSSpec(ref));
}

CGImageRef GetCGImageFromURLUsingCG(CFURLRef theURL) {
    CGImageSourceRef source = CGImageSourceCreateWithURL(theURL, nullptr);
    if (!source) return nullptr;
    CGImageRef image =
        CGImageSourceGetCount(source) > 0 ? CGImageSourceCreateImageAtIndex(source, 0, nullptr) : nullptr;
    CFRelease(source);
    return image;
}

CGImageRef GetCGImageFromFSRefUsingCG(const FSRef& theFSRef) {
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &theFSRef);
    if (!url) return nullptr;
    CGImageRef image = GetCGImageFromURLUsingCG(url);
    CFRelease(url);
    return image;
}

CGImageRef GetCGImageFromFSSUsingCG(const FSSpec& theFSS) {
    return GetCGImageFromFSRefUsingCG(FSSpec2FSRef(theFSS));
}

CGImageRef GetCGImageFromBundle(const char* theName, const char* theExtension, const char* thePath) {
    CFURLRef url = CopyBundleResourceURL(theName, theExtension, thePath);
    if (!url) return nullptr;
    CGImageRef image = GetCGImageFromURLUsingCG(url);
    CFRelease(url);
    return image;
}

GWorldPtr GetScaledGWImageFromFSRef(const FSRef& theFSRef, SInt16 widScale, SInt16 higScale) {
    if (widScale < 1 || higScale < 1) return nullptr;
    PString name;
    PicHandle picture = ReadPictureFromFSRef(theFSRef, name);
    if (!picture) return nullptr;
    Rect frame = (**picture).picFrame;
    OffsetRect(&frame, SInt16(-frame.left), SInt16(-frame.top));
    (**picture).picFrame = frame;
    SInt32 wid, hig;
    GetDims(frame, wid, hig);
    wid /= widScale;
    hig /= higScale;
    // A picture narrower than its scale has no pixels to show: no buffer rather than a
    // failed allocation that would end the process.
    if (wid < 1 || hig < 1) {
        KillPicture(picture);
        return nullptr;
    }
    GWorldPtr buffer = AllocateGWorld(SInt16(wid), SInt16(hig));
    Assert(buffer, "Cannot allocate new GWorld in GetScaledGWImageFromFSRef");
    ClearGW(buffer, SetRGBColor(-1, -1, -1));
    DrawPictureInGW(buffer, picture, frame);
    KillPicture(picture);
    return buffer;
}

PicHandle GetPICTFromURLUsingCG(CFURLRef theURL) {
    CGImageRef image = GetCGImageFromURLUsingCG(theURL);
    if (!image) return nullptr;
    Rect frame = GetImageRect(image);
    GWorldPtr buffer = AllocateRectGWorld(frame);
    if (!buffer) {
        CGImageRelease(image);
        return nullptr;
    }
    ClearGW(buffer, SetRGBColor(-1, -1, -1));
    SavedGWorldRec saved;
    SetGWorld(buffer, nullptr);
    DrawCGImageInQDRect(buffer, image, frame, 0.0f, false);
    PicHandle picture = nullptr;
    {
        // The picture records the buffer's pixels over the frame.
        PixelAccessRec pixels(buffer);
        picture = toolbox::NewPictureFromPixels(reinterpret_cast<const UInt8*>(pixels.base), frame.right,
                                                frame.bottom, long(pixels.rowBytes));
    }
    CGImageRelease(image);
    saved.Restore();
    DisposeGWorld(buffer);
    return picture;
}
