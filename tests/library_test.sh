#!/usr/bin/env bash
# The README's library example built against an installed tree (cmake --install into a scratch
# prefix), both ways others build with it: a CMake project with find_package(velko), and g++
# with pkg-config; each program run and its output checked.
#   library_test.sh BUILD_DIR README
set -euo pipefail
build=$1 readme=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" --component Development >/dev/null
awk '/^```cpp$/ { on = 1; next } /^```$/ { on = 0 } on' "$readme" >"$work/app.cpp"
grep -q 'int main' "$work/app.cpp" || { echo "no program in $readme" >&2; exit 1; }
want=$(printf 'byte 6: 1 bytes with no character\n\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xef\xbf\xbd@\xe2\x94\x80!')
status=0
cat >"$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(app CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(velko 1 REQUIRED)
add_executable(app app.cpp)
target_link_libraries(app PRIVATE velko::codec)
CMAKE
cmake -S "$work" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
got=$("$work/cmake/app")
[ "$got" = "$want" ] || { echo "find_package(velko): got '$got'" >&2; status=1; }
pc=$(dirname "$(find "$work/prefix" -name velko.pc)")
g++ -std=c++17 -o "$work/app" "$work/app.cpp" $(PKG_CONFIG_PATH=$pc pkg-config --cflags --libs velko)
got=$("$work/app")
[ "$got" = "$want" ] || { echo "pkg-config velko: got '$got'" >&2; status=1; }
[ $status -eq 0 ] && echo "the README's program, built both ways against the installed tree, says what it says"
exit $status
