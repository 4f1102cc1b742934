// Helpers the platform files of the window objects share.
#ifndef VELKO_SHELL_WINDOW_COMMON_H
#define VELKO_SHELL_WINDOW_COMMON_H

namespace velko {

// A heap copy of a NUL-terminated text, released with free(); null without memory.
char* CopyText(const char* text);

}  // namespace velko

#endif
