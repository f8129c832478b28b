#include "window/form/layout_table.h"

#include <array>

namespace zrt::window {
namespace {

using K = ControlKind;
using F = FontRole;

constexpr std::string_view kInterfaces[] = {"RS232 ", "USB"};
constexpr std::string_view kLanguages[] = {"English", "中文", "繁體"};
constexpr std::string_view kBaudRates[] = {"1200",  "2400",  "4800",  "9600",  "14400",
                                           "19200", "28800", "38400", "57600", "115200"};
constexpr std::string_view kPorts[] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                       "COM6", "COM7", "COM8", "COM9", "COM10"};
constexpr std::string_view kStatusPanels[] = {"", ""};
constexpr std::string_view kMemoLines[] = {"Memo1"};

constexpr std::array kControls{
    ControlSpec{"Memo1", K::Memo, "", 376, 408, 97, 49, "", kMemoLines},
    ControlSpec{"pnpproce", K::PushButton, "", 376, 462, 89, 17, ""},
    ControlSpec{"gbo1", K::GroupBox, "", 8, 8, 113, 345, "功能选择"},
    ControlSpec{"pcon2", K::PageControlLeft, "gbo1", 4, 14, 105, 326, ""},
    ControlSpec{"tsh3", K::Page, "pcon2", 0, 0, 0, 0, "页面1"},
    ControlSpec{"gbo2", K::GroupBox, "", 128, 8, 449, 345, "项目选择"},
    ControlSpec{"PageControl1", K::PageControlTop, "gbo2", 8, 16, 425, 323, ""},
    ControlSpec{"tsh5", K::Page, "PageControl1", 0, 0, 0, 0, "页面1"},
    ControlSpec{"gbo3", K::GroupBox, "", 584, 8, 121, 161, "数据输入"},
    ControlSpec{"gbo5", K::GroupBox, "", 712, 8, 73, 161, "符号输入"},
    ControlSpec{"lbel1", K::Label, "", 16, 368, 73, 17, "程控命令", {}, F::BoldLabel},
    ControlSpec{"Edit1", K::Edit, "", 96, 360, 273, 33, "", {}, F::LargeEdit},
    ControlSpec{"Edit3", K::Edit, "", 96, 408, 273, 73, "", {}, F::LargeEdit},
    ControlSpec{"btn96", K::PushButton, "", 376, 360, 45, 30, "发送", {}, F::BoldButton},
    ControlSpec{"btn100", K::PushButton, "", 424, 360, 45, 30, "清除", {}, F::BoldButton},
    ControlSpec{"lbel2", K::Label, "", 16, 432, 73, 16, "数据显示", {}, F::BoldLabel},
    ControlSpec{"gbo4", K::GroupBox, "", 584, 168, 201, 185, "单位选择"},
    ControlSpec{"pcon1", K::PageControlTop, "", 472, 360, 313, 123, ""},
    ControlSpec{"tsh1", K::Page, "pcon1", 0, 0, 0, 0, "参数选择"},
    ControlSpec{"rg2", K::RadioGroup, "tsh1", 40, 0, 97, 89, "接口选择", kInterfaces},
    ControlSpec{"rg3", K::RadioGroup, "tsh1", 176, 0, 97, 89, "语言选择", kLanguages},
    ControlSpec{"tsh2", K::Page, "pcon1", 0, 0, 0, 0, "参数设置"},
    ControlSpec{"gbo6", K::GroupBox, "tsh2", 8, 0, 297, 89, "串口设置"},
    ControlSpec{"btn101", K::PushButton, "gbo6", 16, 24, 75, 25, "地址", {}, F::BoldButton},
    ControlSpec{"btn106", K::PushButton, "gbo6", 16, 56, 75, 25, "打开", {}, F::BoldButton},
    ControlSpec{"Edit2", K::Edit, "gbo6", 112, 24, 41, 28, "88", {}, F::LargeEdit},
    ControlSpec{"Image1", K::Image, "gbo6", 116, 59, 31, 17, ""},
    ControlSpec{"lbe3", K::Label, "gbo6", 168, 32, 49, 13, "波特率"},
    ControlSpec{"cob2", K::ComboBox, "gbo6", 224, 26, 65, 21, "19200", kBaudRates},
    ControlSpec{"lbe4", K::Label, "gbo6", 168, 64, 33, 13, "端口"},
    ControlSpec{"cbo1", K::ComboBox, "gbo6", 224, 56, 65, 21, "COM1", kPorts},
    ControlSpec{"tsh6", K::Page, "pcon1", 0, 0, 0, 0, "版本"},
    ControlSpec{"Label1", K::Label, "tsh6", 64, 40, 185, 13, "Zara-vevez ovira 1000V10.05.00.02"},
    ControlSpec{"StatusBar1", K::StatusBar, "", 0, 483, 801, 19, "", kStatusPanels},
};

constexpr int X = kNoKey;

// Function panel: one column; neighbouring buttons overlap by one pixel.
constexpr int kFunctionCells[] = {0, 1, 2, 3, 4, 13, 6, 7, 8, 14, 10, 12, 15};

// Item panel: five columns, the last with ten rows.
constexpr int kItemCells[] = {
    21, 33, 45, 57, 79,  //
    22, 34, 46, 58, 70,  //
    23, 35, 47, 59, 71,  //
    24, 36, 48, 60, 72,  //
    25, 85, 49, 61, 73,  //
    26, 87, 50, 82, 74,  //
    27, 39, 51, 63, 75,  //
    28, 40, 52, 64, 76,  //
    29, 41, 53, 81, 77,  //
    30, 42, 54, 80, 88,  //
    84, 43, 83, 67, X,   //
    86, 44, 56, 68, X,   //
};

// Columns 0, 1 (with "B路波形" after "单次触发"), 2, then 4 down to "USB",
// then 3, and "任意波" last.
constexpr int kItemFocus[] = {
    21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 84, 86,  //
    33, 34, 35, 85, 87, 39, 40, 41, 42, 43, 44, 36,  //
    45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 83, 56,  //
    79, 70, 71, 72, 73, 74, 75, 76, 77,              //
    57, 58, 59, 60, 61, 82, 63, 64, 81, 80, 67, 68,  //
    88,
};

constexpr int kDataCells[] = {96, 97, 98, 99, 100, 101, 102, 103, 104, 105, 106, 107};

constexpr int kSymbolCells[] = {112, 113};

constexpr int kUnitCells[] = {
    128, 133, 137, 141,  //
    129, 134, 138, 142,  //
    130, 135, 139, 143,  //
    131, 136, 140, 144,  //
    132, 145, X,   X,    //
};

constexpr std::array kPanels{
    PanelGrid{"tsh3", 4, 0, 0, 24, 75, 25, 1, kFunctionCells, {}},
    PanelGrid{"tsh5", 8, 3, 80, 24, 75, 25, 5, kItemCells, kItemFocus},
    PanelGrid{"gbo3", 8, 24, 40, 32, 25, 25, 3, kDataCells, {}},
    PanelGrid{"gbo5", 16, 24, 0, 32, 40, 25, 1, kSymbolCells, {}},
    PanelGrid{"gbo4", 8, 24, 48, 32, 40, 25, 4, kUnitCells, {}},
};

}  // namespace

std::span<const ControlSpec> WindowControls() { return kControls; }

std::span<const PanelGrid> KeyPanels() { return kPanels; }

}  // namespace zrt::window
