// What velko-cli needs of the console; one implementation per platform.
#ifndef VELKO_CLI_CONSOLE_H
#define VELKO_CLI_CONSOLE_H

#include <string>

namespace velko {

// The locale for the messages; standard input and output carry bytes unchanged.
void InitConsole();
bool IsTerminal(int fd);
// The texts and names velko-cli handles are UTF-8 (else code page 932).
bool TextsInUtf8();
// A message (the program's texts and the file names in them) as the console shows it, in the
// locale's encoding; what it cannot show becomes '?', names and texts alike.
std::string ForConsole(const std::string& text);

}  // namespace velko

#endif
