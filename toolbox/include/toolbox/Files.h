/* File Manager: FSSpec records (FSSpec) for files of the ordinary Linux file system.
 *
 * An FSSpec names a file by volume, parent directory number and file name, as on the
 * platform. Here there is one volume, kToolboxVolume, and directory numbers are handed out
 * by the toolbox: FindFolder (Folders.h) and toolbox::FSSpecFromPath register a directory's
 * absolute path under a number, which is valid for the life of the process. The name is
 * the file's name in Mac Roman (at most 63 characters, no '/'); on disk it is UTF-8. */
#pragma once

#include "toolbox/MacTypes.h"

typedef SInt16 FSVolumeRefNum;
typedef SInt16 ScriptCode;

typedef struct FSSpec {
    FSVolumeRefNum vRefNum; /* always kToolboxVolume (0, the default volume, is taken too) */
    SInt32 parID;           /* the toolbox's number of the file's directory */
    Str63 name;             /* the file's name, Mac Roman */
} FSSpec;
typedef FSSpec* FSSpecPtr;

enum {
    kToolboxVolume = -1,
    smSystemScript = -1,
    nsvErr = -35,    /* no such volume */
    bdNamErr = -37,  /* a name that cannot name a file here */
    dskFulErr = -34, /* the disk is full */
    permErr = -54,   /* the file cannot be opened or written with this permission */
    wrPermErr = -61, /* written through a file opened read-only */
    rfNumErr = -51,  /* no open file has this reference number */
    posErr = -40,    /* a position before the start of the file */
    fsRtParID = 1,   /* the parent of the root folder */
    fsRtDirID = 2    /* the root folder, whose name is the volume's */
};

/* A file reference names an existing file or folder by a number the toolbox hands out for
 * its path (valid for the life of the process). A reference that names nothing (all zero)
 * is what failed conversions give; every call treats it as no file. */
typedef struct FSRef {
    UInt32 item;
    UInt8 reserved[76];
} FSRef;
typedef FSRef* FSRefPtr;

/* Positioning modes of SetFPos. */
enum { fsAtMark = 0, fsFromStart = 1, fsFromLEOF = 2, fsFromMark = 3 };

/* Catalogue lookup of a folder (PBGetCatInfoSync with ioFDirIndex -1): ioDrDirID names the
 * folder; the call fills ioNamePtr with its name and ioDrParID with its parent's number. */
typedef struct DirInfo {
    OSErr ioResult;
    StringPtr ioNamePtr;
    FSVolumeRefNum ioVRefNum;
    SInt16 ioFDirIndex;
    SInt32 ioDrDirID;
    SInt32 ioDrParID;
} DirInfo;
typedef union CInfoPBRec {
    DirInfo dirInfo;
} CInfoPBRec;
typedef CInfoPBRec* CInfoPBPtr;

typedef struct FSCatalogInfo FSCatalogInfo; /* no catalogue fields are read */
typedef struct HFSUniStr255 HFSUniStr255;
typedef UInt32 FSCatalogInfoBitmap;
enum { kFSCatInfoNone = 0 };
/* The name of the one volume (the root folder "/"). */
#define kToolboxVolumeName "Linux"

/* File access permissions. */
enum { fsCurPerm = 0, fsRdPerm = 1, fsWrPerm = 2, fsRdWrPerm = 3 };

TB_EXTERN_C_BEGIN

/* Fills the record for fileName in directory dirID. Returns noErr when the file exists, fnfErr
 * when it does not (the record is filled all the same), dirNFErr for an unknown directory and
 * bdNamErr for a name that cannot name a file. */
OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec);

/* File references: fnfErr when the file does not exist (ref then names nothing). */
OSErr FSpMakeFSRef(const FSSpec* source, FSRef* newRef);
/* Only the FSSpec record is filled; catalogInfo, outName and parentRef must be NULL. */
OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef);

/* Data forks by reference number. FSpCreate makes an empty file (dupFNErr when one exists)
 * and keeps its type and creator beside it; FSWrite writes *count bytes at the mark and sets
 * *count to what was written. */
OSErr FSpOpenDF(const FSSpec* spec, SInt8 permission, SInt16* refNum);
OSErr FSpCreate(const FSSpec* spec, OSType creator, OSType fileType, ScriptCode scriptTag);
OSErr FSpDelete(const FSSpec* spec);
OSErr FSWrite(SInt16 refNum, SInt32* count, const void* buffPtr);
OSErr SetFPos(SInt16 refNum, SInt16 posMode, SInt32 posOff);
OSErr FSClose(SInt16 refNum);
/* The type and creator FSpCreate gave the file; 0 for others. */
OSErr FSpGetFileTypeCreator(const FSSpec* spec, OSType* fileType, OSType* creator);

/* The default folder: the process's working directory. volName gets the volume's name. */
OSErr HGetVol(StringPtr volName, FSVolumeRefNum* vRefNum, SInt32* dirID);
OSErr PBGetCatInfoSync(CInfoPBPtr paramBlock);

TB_EXTERN_C_END

#ifdef __cplusplus
#include <string>

namespace toolbox {

/* The FSSpec of the file at a Linux path (its directory registered as above); the same
 * results as FSMakeFSSpec. */
OSErr FSSpecFromPath(const std::string& path, FSSpec* spec);
/* The Linux path of a FSSpec record; empty for an unknown directory. */
std::string FSSpecToPath(const FSSpec& spec);
/* The reference of an existing file or folder (fnfErr otherwise, ref then names nothing). */
OSErr FSRefFromPath(const std::string& path, FSRef* ref);
/* The absolute path of a reference; empty for one that names nothing. */
std::string FSRefToPath(const FSRef& ref);

} // namespace toolbox
#endif
