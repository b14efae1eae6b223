// The character set of a settings file. Files of the Windows program were written in its ANSI
// code page, and editors may save them as UTF-16; the program itself writes UTF-8.
#pragma once

#include <string>

namespace hw {

// The file's text as UTF-8, decided once for the whole content:
// - a UTF-16 byte-order mark (LE or BE): UTF-16, the mark dropped; a lone surrogate or an odd
//   last byte becomes U+FFFD;
// - valid UTF-8, with or without its byte-order mark: unchanged;
// - anything else: Windows-1252 (its five unassigned bytes stand for the C1 controls of the same
//   number), behind a UTF-8 byte-order mark if the file starts with one.
std::string SettingsTextToUtf8(const std::string& bytes);

}  // namespace hw
