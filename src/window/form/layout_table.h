// The window as data: every control with its kind, parent, place, size and
// design caption, and the grids of the five key panels. The window is built
// by looping over these tables; nothing about placement lives elsewhere.
#pragma once

#include <span>
#include <string_view>

namespace zrt::window {

enum class ControlKind {
  GroupBox,
  PageControlTop,
  PageControlLeft,
  Page,  // a tab of its parent page control; the caption is the tab text
  PushButton,
  Label,
  Edit,
  Memo,
  Image,
  RadioGroup,  // caption is the frame title, items are the choices
  ComboBox,    // editable; caption is the text, items the list
  StatusBar,   // items are its panels
};

enum class FontRole { Window, BoldLabel, LargeEdit, BoldButton };

struct ControlSpec {
  std::string_view name;  // Qt object name
  ControlKind kind;
  std::string_view parent;  // empty: the window itself
  int left, top, width, height;
  std::string_view caption;  // UTF-8
  std::span<const std::string_view> items = {};
  FontRole font = FontRole::Window;
};

// In creation order, which is also the keyboard focus order.
std::span<const ControlSpec> WindowControls();

// Pages brought to the front of their page control when the window is built.
inline constexpr std::string_view kPagesInFront[] = {"tsh2"};

inline constexpr int kNoKey = -1;

// A key panel: buttons of one size on a regular grid inside a container.
struct PanelGrid {
  std::string_view container;  // object name of the control that holds the buttons
  int left, top;               // the first cell
  int stepX, stepY;            // neighbouring cells are this far apart
  int buttonWidth, buttonHeight;
  int columns;
  std::span<const int> cells;       // key codes, row by row; kNoKey for an empty cell
  std::span<const int> focusOrder;  // key codes; empty: row by row
};

std::span<const PanelGrid> KeyPanels();

// Width in pixels of each status-bar panel.
inline constexpr int kStatusPanelWidth = 100;

inline constexpr int kClientWidth = 801;
inline constexpr int kClientHeight = 502;
inline constexpr int kWindowLeft = 201;
inline constexpr int kWindowTop = 249;
inline constexpr std::string_view kWindowTitle = "ZRT10XX/ZRT30XXCH";

}  // namespace zrt::window
