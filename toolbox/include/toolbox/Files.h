/* File Manager: file specifications (FSSpec) for files of the ordinary Linux file system.
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
    wrPermErr = -61  /* written through a file opened read-only */
};

/* File access permissions. */
enum { fsCurPerm = 0, fsRdPerm = 1, fsWrPerm = 2, fsRdWrPerm = 3 };

TB_EXTERN_C_BEGIN

/* Fills spec for fileName in directory dirID. Returns noErr when the file exists, fnfErr
 * when it does not (spec is filled all the same), dirNFErr for an unknown directory and
 * bdNamErr for a name that cannot name a file. */
OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec);

TB_EXTERN_C_END

#ifdef __cplusplus
#include <string>

namespace toolbox {

/* The FSSpec of the file at a Linux path (its directory registered as above); the same
 * results as FSMakeFSSpec. */
OSErr FSSpecFromPath(const std::string& path, FSSpec* spec);
/* The Linux path of a file specification; empty for an unknown directory. */
std::string FSSpecToPath(const FSSpec& spec);

} // namespace toolbox
#endif
