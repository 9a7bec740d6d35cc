/* Short strings and numbers as text. The C++ helpers at the end convert between short
 * strings (Mac Roman) and UTF-8 text for code that talks to the rest of Linux. */
#pragma once

#include "toolbox/MacTypes.h"

TB_EXTERN_C_BEGIN

void NumToString(long theNum, Str255 theString);
void StringToNum(ConstStr255Param theString, long* theNum);
void CopyCStringToPascal(const char* src, Str255 dst);
/* Text `index` (from 1) of string list ('STR#' resource) strListID in the resource chain;
 * an empty string when the list or the text is missing. */
void GetIndString(Str255 theString, SInt16 strListID, SInt16 index);

TB_EXTERN_C_END

#ifdef __cplusplus
#include <string>
#include <string_view>

namespace toolbox {

/* Mac Roman bytes to UTF-8 and back; characters Mac Roman cannot hold become '?'. */
std::string MacRomanToUtf8(std::string_view macRoman);
std::string Utf8ToMacRoman(std::string_view utf8);
/* The same without loss: false when the text holds a character Mac Roman cannot hold. */
bool Utf8ToMacRomanExactly(std::string_view utf8, std::string& macRoman);

/* The characters of a short string, as they are (Mac Roman). */
std::string_view PascalView(ConstStr255Param s);
/* A short string from bytes, cut to 255 characters. */
void SetPascal(Str255 dst, std::string_view bytes);

} // namespace toolbox
#endif
