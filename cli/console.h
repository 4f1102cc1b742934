// What velko-cli needs of its platform; one implementation per platform.
#ifndef VELKO_CLI_CONSOLE_H
#define VELKO_CLI_CONSOLE_H

#include <atomic>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "text/frame.h"

namespace velko {

// The locale and the messages' language; standard input and output carry bytes unchanged.
// Returns the arguments in UTF-8, wildcards expanded where the shell leaves that to a program.
std::vector<std::string> InitConsole(int argc, char** argv);
bool IsTerminal(int fd);
// A stop (INT, TERM, HUP; Ctrl+C, Ctrl+Break, a closed console) only sets `*stop`, for a run
// that ends where every file is whole; nothing is undone.
void StopOnRequest(std::atomic<bool>* stop);
// How text files are read and written here unless --eol says otherwise.
TextRules PlatformTextRules();
// The folder for a file that lives only while velko-cli runs.
std::string TemporaryFolder();
// An English text of velko-cli's in the language of the user's locale (Japanese under a
// Japanese one, English under any other), in UTF-8.
const char* Tr(const char* english);
// Tr of a text with a count: `one` or `many` in English by `n`, the form the language has for
// `n` in another.
const char* TrN(const char* one, const char* many, unsigned long long n);
// Writes a message (UTF-8) as the console shows it: in the locale's encoding, or on Windows
// through a console's Unicode output and in the console's code page to a pipe or a file; what
// cannot be shown becomes '?'. False when it could not be written.
bool WriteText(std::FILE* stream, const std::string& text);
// The code of the last failed system call, and its reason in words (UTF-8); the reason for a
// name that leads to no file.
int LastSystemError();
std::string SystemReason(int code);
std::string NotFoundReason();

// Marks a text that is translated later, where it is chosen (xgettext reads N, Tr and Say).
constexpr const char* N(const char* english) { return english; }

// Tr(english) with each "%s" in turn replaced by an argument.
std::string Say(const char* english, std::initializer_list<std::string> args = {});
// Say of the form for the count `n` (TrN).
std::string SayN(const char* one, const char* many, unsigned long long n,
                 std::initializer_list<std::string> args);
// "1 byte", "2 bytes": a count of bytes in the user's language.
std::string ByteCount(unsigned long long n);
// One of the window's texts (texts.h) with its paths, as a line in the user's language.
std::string WindowText(const char* format, const std::string& path, const std::string& other = "");

}  // namespace velko

#endif
