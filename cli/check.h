// velko-cli check: each file's encoding by fixed byte rules, what it holds that matters to the
// commands, and what each of them would lose or change.
#ifndef VELKO_CLI_CHECK_H
#define VELKO_CLI_CHECK_H

#include <string>
#include <vector>

namespace velko {

// One line per file on stdout (with `tsv`, a header and tab-separated fields); the exit
// status: 0 when every file was read and named without doubt, else 1.
int Check(const std::vector<std::string>& files, bool tsv);

}  // namespace velko

#endif
