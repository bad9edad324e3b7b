#pragma once
// The application's tooltip: one system tooltip control that shows the hints of all controls.
#include "Handles.h"

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

class TControl;

// One tool per control whose hint shows: a windowed control is a tool by its window, a graphic control
// by its rectangle on its parent's window. The tooltip window is made with the first tool. The windows
// that carry tools hand their mouse messages to Relay, which is how the tooltip learns of hovering.
class THintTips {
public:
  // `owner`: the window the tooltip stays above (the application's).
  explicit THintTips(HWND owner) : m_owner(owner) {}
  ~THintTips();
  THintTips(const THintTips&) = delete;
  THintTips& operator=(const THintTips&) = delete;

  // The tooltip window; null before the first tool.
  HWND Handle() const { return m_window.Get(); }

  // The tool of `control` becomes the window `window` itself (windowed) or the rectangle `rect` of
  // `window` (graphic), with `text`; registered on first use, changed in place afterwards.
  void SetWindowTool(const TControl* control, HWND window, const std::string& text);
  void SetRectTool(const TControl* control, HWND window, const RECT& rect, const std::string& text);
  // Takes away the tool of `control`, if it has one.
  void RemoveTool(const TControl* control);
  bool HasTool(const TControl* control) const { return m_tools.count(control) != 0; }
  int ToolCount() const { return static_cast<int>(m_tools.size()); }

  // A mouse message of `window`, for the tooltip to follow the pointer.
  void Relay(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) const;

private:
  struct TTool {
    HWND Window = nullptr;
    UINT_PTR Id = 0;
    bool IdIsWindow = false;
    RECT Rect{};
    std::string Text;
  };

  void SetTool(const TControl* control, const TTool& tool);
  HWND Window();
  void Add(const TTool& tool) const;
  void Delete(const TTool& tool) const;
  static TOOLINFOA InfoOf(const TTool& tool);

  HWND m_owner;
  TWindowHandle m_window;
  std::map<const TControl*, TTool> m_tools;
};
