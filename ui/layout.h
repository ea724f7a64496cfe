// Window layouts as data: a window and its controls in creation order.
// The framework turns a layout into a window; the application owns the tables.
#pragma once

#include <string>
#include <vector>

namespace vantoip {

enum class ControlKind {
  PushButton,
  Label,
  TransparentLabel,  // text drawn straight on whatever lies behind it
  GroupBox,
  ListView,          // report view
  TabControl,
  PictureBox,
  Edit,              // a text field; several lines when `lines` > 1
  CheckBox,          // its caption beside a box the user ticks
  Timer,             // not shown
  TcpClient,         // not shown
};

enum class Alignment { Left, Centre };

struct ListColumn {
  std::string heading;
  int width;
  Alignment alignment;
};

// How a control follows a resizable window: it stays (None), moves with the
// bottom edge (Bottom; the controls inside it too), or grows with the window
// right and down (Grow).
enum class Anchor { None, Bottom, Grow };

enum class FontRole { Default, Value };  // Value: 16 px, normal weight, Chinese character set

struct ControlLayout {
  std::string name;
  ControlKind kind;
  std::string parent;  // empty: the window; else a group box or tab control of the same layout
  int left = 0, top = 0, width = 0, height = 0;  // relative to the parent's client area
  std::string caption;
  bool tabStop = false;
  int tab = -1;  // for controls on a tab control: the 0-based page that shows them
  FontRole font = FontRole::Default;
  std::vector<ListColumn> columns;   // list view
  int keptColumns = 0;               // list view: cells kept with each row after the columns shown, never shown
  std::vector<std::string> tabs;     // tab control
  std::string picture;               // picture box: name of a stored picture
  int lines = 1;                     // edit
  std::string hint;                  // edit: shown grey while it is empty
  bool warning = false;              // label: its text in red, for what the user must mend
  Anchor anchor = Anchor::None;
};

struct WindowLayout {
  std::string name;
  std::string title;
  int left = 0, top = 0, width = 0, height = 0;  // outer size
  std::vector<ControlLayout> controls;
  // The user may resize and maximise it, never smaller than its first size.
  bool resizable = false;
  // Push buttons that Enter and Esc click (none when empty); Enter's is drawn as the default.
  std::string defaultButton, cancelButton;
};

// The control of a layout with this name, or null.
const ControlLayout* FindControl(const WindowLayout& layout, const std::string& name);

}  // namespace vantoip
