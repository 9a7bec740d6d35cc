// File choosers, classic file access, folder paths, documents and file types.
#include "util/EasyFile.h"

#include "util/commonprocs.h"

#include "toolbox/LaunchServices.h"
#include "toolbox/Navigation.h"

#include <cstring>

namespace {

// Folders deeper than this are not followed; no real path comes near it.
constexpr int kMaxFolderDepth = 512;

// Runs a chooser and gives its first file; false on cancel or error.
Boolean RunChooser(NavDialogRef theDialog, FSSpec& outSpec, Boolean& outReplacing) {
    Boolean chosen = false;
    if (NavDialogRun(theDialog) == noErr && NavDialogGetUserAction(theDialog) != kNavUserActionCancel) {
        NavReplyRecord reply;
        if (NavDialogGetReply(theDialog, &reply) == noErr && reply.validRecord) {
            fileList files;
            if (AEDescListToFileList(reply.selection, files) == noErr && files.count >= 1) {
                outSpec = files.spec[0];
                outReplacing = reply.replacing;
                chosen = true;
            }
        }
        NavDisposeReply(&reply);
    }
    NavDialogDispose(theDialog);
    return chosen;
}

void ReleaseIfAny(CFTypeRef theRef) {
    if (theRef) CFRelease(theRef);
}

// The catalog information of folder dirID, its name going to name.
OSErr GetFolderCatInfo(SInt16 vRefNum, SInt32 dirID, Str255 name, CInfoPBRec& pb) {
    pb = CInfoPBRec{};
    pb.dirInfo.ioNamePtr = name;
    pb.dirInfo.ioVRefNum = vRefNum;
    pb.dirInfo.ioFDirIndex = -1;
    pb.dirInfo.ioDrDirID = dirID;
    return PBGetCatInfoSync(&pb);
}

} // namespace

SInt16 AEDescListToFileList(const AEDescList& inList, fileList& outFileList) {
    outFileList.count = 0;
    long items = 0;
    OSErr err = AECountItems(&inList, &items);
    if (err != noErr) return err;
    for (long index = 1; index <= items; ++index) {
        FSSpec spec;
        AEKeyword keyword;
        DescType actualType;
        Size actualSize;
        err = AEGetNthPtr(&inList, index, typeFSS, &keyword, &actualType, &spec, sizeof spec, &actualSize);
        if (err != noErr) return err;
        if (index <= 4) outFileList.spec[index - 1] = spec;
        outFileList.count = SInt16(index);
    }
    return noErr;
}

Boolean EasyNavPutFile(ConstStr255Param inMessage, ConstStr255Param inDefaultName, OSType inType,
                       OSType inCreator, FSSpec& outSpec, Boolean& outReplacing) {
    outReplacing = false;
    NavDialogCreationOptions options;
    NavGetDefaultDialogCreationOptions(&options);
    options.message = MakeCFString(inMessage);
    options.saveFileName = MakeCFString(inDefaultName);
    NavDialogRef dialog = nullptr;
    OSStatus err = NavCreatePutFileDialog(&options, inType, inCreator, nullptr, nullptr, &dialog);
    ReleaseIfAny(options.message);
    ReleaseIfAny(options.saveFileName);
    return err == noErr && RunChooser(dialog, outSpec, outReplacing);
}

// The chooser offers every file for "****", otherwise only files of inType; multiple
// selection stays off.
Boolean EasyNavGetFile(ConstStr255Param inMessage, OSType inType, OSType inCreator, Boolean,
                       FSSpec& outFile) {
    NavDialogCreationOptions options;
    NavGetDefaultDialogCreationOptions(&options);
    options.optionFlags &= ~UInt32(kNavAllowMultipleFiles);
    options.message = MakeCFString(inMessage);
    NavTypeList types{inCreator, 0, 1, {inType}};
    NavTypeListPtr typesPtr = &types;
    NavTypeListHandle typeList = inType == kAnyFileType ? nullptr : &typesPtr;
    NavDialogRef dialog = nullptr;
    OSStatus err = NavCreateGetFileDialog(&options, typeList, nullptr, nullptr, nullptr, nullptr, &dialog);
    ReleaseIfAny(options.message);
    Boolean replacing = false;
    return err == noErr && RunChooser(dialog, outFile, replacing);
}

void PSPOpenFile(SInt16& theFileRefNum, const FSSpec& spec) {
    if (FSpOpenDF(&spec, fsRdWrPerm, &theFileRefNum) == noErr) SetFPos(theFileRefNum, fsFromStart, 0);
}

void PSPRewrite(SInt16& theFileRefNum, const FSSpec& spec, OSType fileType, OSType fileCreator) {
    FSpDelete(&spec);
    FSpCreate(&spec, fileCreator, fileType, smSystemScript);
    FSpOpenDF(&spec, fsRdWrPerm, &theFileRefNum);
}

void FileWrite(SInt16 theFile, ConstStr255Param theText) {
    if (!theText) return;
    SInt32 count = theText[0];
    FSWrite(theFile, &count, theText + 1);
}

void FileWriteln(SInt16 theFile, ConstStr255Param theText) {
    PString line(theText);
    if (line.Length() == 255)
        line.s[255] = '\r';
    else
        line = line + "\r";
    FileWrite(theFile, line);
}

PString GetAppDirName() {
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    if (HGetVol(nullptr, &vRefNum, &dirID) != noErr) return PString(":");
    Str255 name{};
    CInfoPBRec pb;
    GetFolderCatInfo(vRefNum, dirID, name, pb);
    return PString(name) + ":";
}

PString GetFullPath(SInt32 dirID, SInt16 vRefNum) {
    PString path;
    for (int depth = 0; depth < kMaxFolderDepth; ++depth) {
        Str255 name{};
        CInfoPBRec pb;
        if (GetFolderCatInfo(vRefNum, dirID, name, pb) != noErr) break;
        path = PString(name) + ":" + path;
        if (dirID == fsRtDirID) break;
        dirID = pb.dirInfo.ioDrParID;
    }
    return path;
}

SInt32 OpenDocumentInSpecificApp(const FSRef& theDocument, const FSRef* theApp) {
    if (!theApp) return LSOpenFSRef(&theDocument, nullptr);
    LSLaunchFSRefSpec spec{theApp, 1, &theDocument, nullptr, kLSLaunchDefaults, nullptr};
    return LSOpenFromRefSpec(&spec, nullptr);
}

Boolean FileConformsTo(const FSRef& theFile, ConstStr255Param theUTI) {
    LSItemInfoRecord info;
    if (LSCopyItemInfoForRef(&theFile, kLSRequestExtension | kLSRequestTypeCreator, &info) != noErr)
        return false;
    CFStringRef identifier = nullptr;
    if (info.extension) {
        identifier =
            UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, info.extension, nullptr);
        CFRelease(info.extension);
    } else {
        CFStringRef code = UTCreateStringForOSType(info.filetype);
        identifier = UTTypeCreatePreferredIdentifierForTag(kUTTagClassOSType, code, nullptr);
        ReleaseIfAny(code);
    }
    if (!identifier) return false;
    CFStringRef wanted = MakeCFString(theUTI);
    Boolean conforms = wanted && UTTypeConformsTo(identifier, wanted);
    ReleaseIfAny(wanted);
    CFRelease(identifier);
    return conforms;
}
