// The main window's layout, labels and dialog filters: one table for every platform.
#ifndef VELKO_SHELL_LAYOUT_H
#define VELKO_SHELL_LAYOUT_H

#include <cstdint>

#include "app/command.h"

namespace velko {

struct ControlSpec {
  int id;  // 0 for the file-name field
  int x, y, width, height;
  std::uint32_t style;  // Win32 style bits; other platforms read only the geometry
  std::uint32_t ex_style;
};

// WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOHSCROLL, sunken by
// WS_EX_CLIENTEDGE.
constexpr ControlSpec kFileEditSpec = {0, 10, 50, 330, 30, 0x50010084, 0x200};
// WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, on every one of the eight.
constexpr std::uint32_t kButtonStyle = 0x50010001;
// In the order the objects are constructed.
constexpr ControlSpec kButtonSpecs[8] = {
    {BTN_QUIT, 280, 10, 60, 30, kButtonStyle, 0},
    {BTN_SANSYOU, 280, 90, 60, 30, kButtonStyle, 0},
    {BTN_NECTOJIS, 10, 140, 160, 30, kButtonStyle, 0},
    {BTN_JISTONEC, 180, 140, 160, 30, kButtonStyle, 0},
    {BTN_SJTOJIS, 10, 180, 160, 30, kButtonStyle, 0},
    {BTN_JISTOSJ, 180, 180, 160, 30, kButtonStyle, 0},
    {BTN_B64TEXT, 10, 220, 160, 30, kButtonStyle, 0},
    {BTN_B64BIN, 180, 220, 160, 30, kButtonStyle, 0},
};
// The order in which the start-up creates the buttons' windows.
constexpr int kButtonCreateOrder[8] = {BTN_NECTOJIS, BTN_JISTONEC, BTN_SANSYOU, BTN_QUIT,
                                       BTN_SJTOJIS,  BTN_JISTOSJ,  BTN_B64TEXT, BTN_B64BIN};

// Tab's way through the controls (0: the field): as they are read, top to bottom, left to right.
constexpr int kTabOrder[9] = {BTN_QUIT,    0,           BTN_SANSYOU, BTN_NECTOJIS, BTN_JISTONEC,
                              BTN_SJTOJIS, BTN_JISTOSJ, BTN_B64TEXT, BTN_B64BIN};

constexpr int kClientWidth = 350;
constexpr int kClientHeight = 270;
// The Windows program's field takes 256 bytes; elsewhere as long a path as the platform takes.
constexpr int kFieldLimit = kPathSize > 512 ? static_cast<int>(kPathSize) - 1 : 256;
constexpr std::uint32_t kMainStyle = 0x00CA0000;  // WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
constexpr std::uint32_t kMainExStyle = 0x1;       // WS_EX_DLGMODALFRAME
inline constexpr char kClassName[] = "VELKO";
inline constexpr char kIconName[] = "VELKOICO";

struct PaintedLabel {
  const char* text;
  int x, y;  // top left of the text
};
inline constexpr PaintedLabel kPaintedLabels[2] = {
    {"ｺｰﾄﾞ罫線変換､ Base64展開", 10, 15},
    {"↑ 変換ﾌｧｲﾙ名", 40, 90},
};

struct FileFilter {
  const char* description;
  const char* pattern;
};
// The "&" is a plain character of the description.
inline constexpr FileFilter kOpenFilters[2] = {
    {"テキスト&電子メイル ファイル(TXT,TEXT,EML)", "*.TEXT;*.TXT;*.EML"},
    {"全ファイル(*.*)", "*.*"},
};
inline constexpr FileFilter kSaveFilters[1] = {
    {"全ファイル(*.*)", "*.*"},
};

// "VELKO " and the program's version.
const char* Caption();

}  // namespace velko

#endif
