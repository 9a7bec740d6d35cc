/* Resource Manager: resource files in the classic resource-file format, kept as ordinary
 * files, and the chain of open resource files.
 *
 * A resource is typed data with a 16-bit id and an optional name, reached through a
 * handle. Open files form a chain; the current file (UseResFile) is where GetResource
 * starts searching, going on to the files opened before it. Get1Resource looks in the
 * current file only.
 *
 * Resources of an open file are kept in memory; UpdateResFile and CloseResFile write a
 * changed file as a whole new file beside the old one, flushed to disk and renamed over
 * it, so the file on disk is always either the old or the new one, never a mix. Readers
 * check every offset, count and length of a file against its size; a malformed file is
 * not opened and ResError reports mapReadErr.
 *
 * The file format, all structure fields big-endian: a 16-byte header (offsets and lengths
 * of the data and of the map), data from offset 256 on (each entry a 4-byte length and its
 * bytes), then the map (28-byte head, type list from its count field, 12-byte reference
 * entries with 24-bit data offsets, and the name list of short strings). The file's type,
 * creator and script have no place on Linux and are not kept. */
#pragma once

#include "toolbox/Files.h"
#include "toolbox/MacMemory.h"

enum {
    addResFailed = -194, /* AddResource was given no handle or a handle that already is a resource */
    rmvResFailed = -196  /* RemoveResource, DetachResource or ReleaseResource was given no resource handle */
};

TB_EXTERN_C_BEGIN

/* Creates an empty resource file; dupFNErr (through ResError) when the file exists. */
void FSpCreateResFile(const FSSpec* spec, OSType creator, OSType fileType, ScriptCode scriptTag);
/* Opens a resource file, puts it at the top of the chain and makes it current. Returns its
 * reference number, or -1 with ResError set. A file already open gives its number again. */
SInt16 FSpOpenResFile(const FSSpec* spec, SInt8 permission);
/* Makes refNum the current file; 0 (what CurResFile gives with no file open) selects none. */
void UseResFile(SInt16 refNum);
/* The current resource file; 0 when no resource file is open. */
SInt16 CurResFile(void);
/* The result of the last Resource Manager call. */
OSErr ResError(void);

Handle Get1Resource(ResType theType, SInt16 theID);
Handle GetResource(ResType theType, SInt16 theID);
/* The handle leaves its file's care: the caller disposes of it. The resource stays in the file. */
void DetachResource(Handle theResource);
/* Takes the resource out of its file; the caller disposes of the handle. */
void RemoveResource(Handle theResource);
/* Adds theData to the current file as a new resource; the file owns the handle from now on. */
void AddResource(Handle theData, ResType theType, SInt16 theID, ConstStr255Param name);
/* Writes the file out when it has changed. */
void UpdateResFile(SInt16 refNum);
/* Frees the resource's memory; a later Get1Resource reads it again. */
void ReleaseResource(Handle theResource);
/* Writes the file out when it has changed, frees its resources and takes it out of the
 * chain. When it was current, the file opened before it becomes current. */
void CloseResFile(SInt16 refNum);

TB_EXTERN_C_END
