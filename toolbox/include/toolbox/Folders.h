/* Folder Manager: the well-known folders of the user.
 *
 * The preferences folder is $XDG_CONFIG_HOME when that is an absolute path, else
 * $HOME/.config (the home taken from the password database when HOME is unset). The
 * platform always has this folder, so the toolbox provides it as the XDG convention says:
 * created with mode 0700 when it is missing, whatever createFolder asks. When it cannot be
 * had (no home, a file in its place, not accessible) the lookup fails with fnfErr. */
#pragma once

#include "toolbox/Files.h"

enum { kOnSystemDisk = -32768 };
enum { kCreateFolder = true, kDontCreateFolder = false };
#define kPreferencesFolderType ((OSType)0x70726566) /* 'pref' */

TB_EXTERN_C_BEGIN

OSErr FindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder,
                 FSVolumeRefNum* foundVRefNum, SInt32* foundDirID);

TB_EXTERN_C_END
