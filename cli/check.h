// velko-cli check: each file's encoding by fixed byte rules, what it holds that matters to the
// commands, and what each of them would lose or change.
#ifndef VELKO_CLI_CHECK_H
#define VELKO_CLI_CHECK_H

#include <string>
#include <vector>

#include "ports/fileops.h"
#include "text/survey.h"

namespace velko {

// What `path` holds ('-': standard input), read once, with its size in `*bytes`; false when it
// could not be read.
bool Examine(FileOps& files, const std::string& path, Findings* f,
             unsigned long long* bytes = nullptr);
// "Shift_JIS", or "ambiguous(UTF-8|Shift_JIS)" when the bytes fit several.
std::string Named(Charsets fits);

// One line per file on stdout (with `tsv`, a header and tab-separated fields); the exit
// status: 0 when every file was read and named without doubt, else 1.
// With `recurse` a folder is read through as toutf8 walks it; '-' reads standard input.
int Check(const std::vector<std::string>& files, bool tsv, bool recurse = false);

}  // namespace velko

#endif
