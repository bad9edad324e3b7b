#include "HintTips.h"

#include "SysUtils.h"
#include "WindowBinder.h"

#include <commctrl.h>

THintTips::~THintTips() = default;

TOOLINFOA THintTips::InfoOf(const TTool& tool)
{
  TOOLINFOA info{};
  // The size every version of the tooltip control understands.
  info.cbSize = TTTOOLINFOA_V2_SIZE;
  info.uFlags = tool.IdIsWindow ? TTF_IDISHWND : 0;
  info.hwnd = tool.Window;
  info.uId = tool.Id;
  info.rect = tool.Rect;
  // The control copies the text.
  info.lpszText = const_cast<char*>(tool.Text.c_str());
  return info;
}

HWND THintTips::Window()
{
  if (m_window)
    return m_window.Get();
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  // TTS_ALWAYSTIP: hints also show over windows that are not active, as a tray program's are.
  m_window.Reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_owner, nullptr,
                                 TWindowBinding::Instance(), nullptr));
  if (!m_window)
    throw EOutOfResources("Cannot create the tooltip window");
  return m_window.Get();
}

void THintTips::Add(const TTool& tool) const
{
  TOOLINFOA info = InfoOf(tool);
  if (!SendMessageA(m_window.Get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)))
    throw EOutOfResources("Cannot register a tooltip");
}

void THintTips::Delete(const TTool& tool) const
{
  TOOLINFOA info = InfoOf(tool);
  SendMessageA(m_window.Get(), TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

void THintTips::SetTool(const TControl* control, const TTool& tool)
{
  Window();
  const auto it = m_tools.find(control);
  if (it == m_tools.end()) {
    Add(tool);
    m_tools.emplace(control, tool);
    return;
  }
  TTool& known = it->second;
  if (known.Window != tool.Window || known.Id != tool.Id || known.IdIsWindow != tool.IdIsWindow) {
    Delete(known);
    m_tools.erase(it);
    Add(tool);
    m_tools.emplace(control, tool);
    return;
  }
  if (!EqualRect(&known.Rect, &tool.Rect)) {
    known.Rect = tool.Rect;
    TOOLINFOA info = InfoOf(known);
    SendMessageA(m_window.Get(), TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&info));
  }
  if (known.Text != tool.Text) {
    known.Text = tool.Text;
    TOOLINFOA info = InfoOf(known);
    SendMessageA(m_window.Get(), TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
  }
}

void THintTips::SetWindowTool(const TControl* control, HWND window, const std::string& text)
{
  TTool tool;
  // The window that holds the tool is its parent, as for a dialog's controls; a top-level window holds
  // itself.
  const HWND parent = GetAncestor(window, GA_PARENT);
  tool.Window = parent && parent != GetDesktopWindow() ? parent : window;
  tool.Id = reinterpret_cast<UINT_PTR>(window);
  tool.IdIsWindow = true;
  tool.Text = text;
  SetTool(control, tool);
}

void THintTips::SetRectTool(const TControl* control, HWND window, const RECT& rect, const std::string& text)
{
  TTool tool;
  tool.Window = window;
  // Unique among the rectangles of one window while the control lives.
  tool.Id = reinterpret_cast<UINT_PTR>(control);
  tool.Rect = rect;
  tool.Text = text;
  SetTool(control, tool);
}

void THintTips::RemoveTool(const TControl* control)
{
  const auto it = m_tools.find(control);
  if (it == m_tools.end())
    return;
  if (m_window)
    Delete(it->second);
  m_tools.erase(it);
}

void THintTips::Relay(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) const
{
  if (!m_window || m_tools.empty())
    return;
  MSG message{};
  message.hwnd = window;
  message.message = msg;
  message.wParam = wParam;
  message.lParam = lParam;
  message.time = static_cast<DWORD>(GetMessageTime());
  GetCursorPos(&message.pt);
  SendMessageA(m_window.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
}
