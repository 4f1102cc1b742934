#!/usr/bin/env bash
# The Windows installer from the programs of the zip, with wixl (msitools):
#   make_msi.sh DIR VERSION OUT.msi   DIR holds velko.exe, velko-cli.exe, README.txt, LICENSE.txt
# wixl has no element for the Environment table: the PATH entry and the two actions that write
# and remove it are added to the database afterwards, as the WiX toolset would have made them.
set -euo pipefail
dir=$(realpath "$1") version=$2 out=$(realpath -m "$3")
here=$(cd "$(dirname "$0")/.." && pwd)
for tool in wixl msibuild; do
  command -v $tool >/dev/null || { echo "make_msi.sh: $tool not found (apt-get install wixl msitools)" >&2; exit 1; }
done
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
cp "$dir"/velko.exe "$dir"/velko-cli.exe "$dir"/README.txt "$dir"/LICENSE.txt "$here/res/velko.ico" "$work"
sed "s/@PROJECT_VERSION@/$version/g" "$here/res/velko.wxs.in" >"$work/velko.wxs"
(cd "$work" && wixl -a x64 -o velko.msi velko.wxs)
q() { msibuild "$work/velko.msi" -q "$1"; }
q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE,
   `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)'
# =-*PATH: the system PATH, set on install and taken back on removal; [~]; appends.
q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`)
   VALUES ('PathVelko', '=-*PATH', '[~];[INSTALLDIR]', 'OnPath')"
q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)"
q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
mv "$work/velko.msi" "$out"
