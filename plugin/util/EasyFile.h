// File and image loading: the open and save choosers, classic file access by reference
// number with text lines ending in carriage return, folder paths, pictures and images from
// files, URLs and the bundle, launching documents and testing a file's type. Platform codes
// are swallowed except where a result is an error code; loaders give nil for a missing or
// unreadable file.
#pragma once

#include "util/PString.h"

#include "toolbox/AppleEvents.h"
#include "toolbox/CFBundle.h"
#include "toolbox/Files.h"
#include "toolbox/Quartz.h"
#include "toolbox/QuickDraw.h"

// Up to four files of a chooser's selection; count is the selection's size, even past four.
struct fileList {
    SInt16 count;
    FSSpec spec[4]; // items 1 to 4, in order
};

constexpr OSType kAnyFileType = 0x2A2A2A2A; // "****"

// Choosers.
SInt16 AEDescListToFileList(const AEDescList& inList, fileList& outFileList);
Boolean EasyNavPutFile(ConstStr255Param inMessage, ConstStr255Param inDefaultName, OSType inType,
                       OSType inCreator, FSSpec& outSpec, Boolean& outReplacing);
Boolean EasyNavGetFile(ConstStr255Param inMessage, OSType inType, OSType inCreator, Boolean inAllowMultiple,
                       FSSpec& outFile);

// Classic file access; errors are ignored (a failed open leaves theFileRefNum 0).
void PSPOpenFile(SInt16& theFileRefNum, const FSSpec& spec);
void PSPRewrite(SInt16& theFileRefNum, const FSSpec& spec, OSType fileType, OSType fileCreator);
void FileWrite(SInt16 theFile, ConstStr255Param theText);
void FileWriteln(SInt16 theFile, ConstStr255Param theText);

// Paths of the form volume:folder:...:folder:
PString GetAppDirName();
PString GetFullPath(SInt32 dirID, SInt16 vRefNum);

// Pictures (the caller kills them) and images (the caller releases them).
PicHandle LoadPictureFile(PString& theName);
PicHandle ReadPictureFromFSS(const FSSpec& theFSS, PString& theName);
PicHandle ReadPictureFromFSRefUsingQT(const FSRef& theFSRef, PString& theName);
PicHandle ReadPictureFromFSRef(const FSRef& theFSRef, PString& theName);
PicHandle LoadPictureFromBundle(const char* theName, const char* theType);
void LaunchFileFromBundle(const char* theName, const char* theExtension, const char* thePath);
CGImageRef GetCGImageFromFSS(const FSSpec& theFSS);
CGImageRef GetCGImageFromURLUsingQT(CFURLRef theFile);
CGImageRef GetCGImageFromURLUsingCG(CFURLRef theURL);
CGImageRef GetCGImageFromFSRefUsingCG(const FSRef& theFSRef);
CGImageRef GetCGImageFromFSSUsingCG(const FSSpec& theFSS);
CGImageRef GetCGImageFromBundle(const char* theName, const char* theExtension, const char* thePath);
// The picture's top-left (width div widScale) x (height div higScale) pixels at full size;
// nil for a scale below 1, no picture, or a scaled size below one pixel.
GWorldPtr GetScaledGWImageFromFSRef(const FSRef& theFSRef, SInt16 widScale, SInt16 higScale);
PicHandle GetPICTFromURLUsingCG(CFURLRef theURL);

// Documents and types.
SInt32 OpenDocumentInSpecificApp(const FSRef& theDocument, const FSRef* theApp);
Boolean FileConformsTo(const FSRef& theFile, ConstStr255Param theUTI);
