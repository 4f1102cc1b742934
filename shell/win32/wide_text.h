// Text between the ANSI code page and UTF-16, for the few calls made wide: the field and the
// file dialogs, where a name the code page cannot hold must not be best-fitted to another.
#ifndef VELKO_SHELL_WIDE_TEXT_H
#define VELKO_SHELL_WIDE_TEXT_H

#include <string>

namespace velko {

std::wstring Wide(const char* text);
// A character the code page lacks becomes '?', which no file name holds.
std::string Narrow(const std::wstring& text);

}  // namespace velko

#endif
