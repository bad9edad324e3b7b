// A per-pixel-alpha window made from a PNG picture, to look at the shaped-window pieces on screen: drag
// the picture to move it; its notification icon's menu shows, hides and ends it.
//   shapedemo [picture.png] [-quit N]   (default: Resource\cpu_bg004.png beside the program)
#include "ExtCtrls.h"
#include "Forms.h"
#include "Graphics.h"
#include "Icon.h"
#include "KoShapedWindow.h"
#include "KoTrayIcon.h"
#include "Main.h"
#include "Menus.h"
#include "PngReader.h"
#include "SysUtils.h"

#include <cstdlib>
#include <memory>

namespace {

constexpr UINT kTrayCallback = WM_APP + 1;

std::string DemoFolder()
{
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// Set before the form is made (the application makes forms from their owner alone).
std::string g_pictureFile;

class TShapeForm : public TForm {
public:
  explicit TShapeForm(TComponent* owner) : TForm(owner)
  {
    const std::string& pictureFile = g_pictureFile;
    Scaled = false;
    SetCaption("Shape demo");
    SetBounds(200, 150, 100, 100);

    m_picture = new TImage(this);
    TBitmap* bitmap = m_picture->GetPicture()->GetBitmap();
    LoadPngFile(pictureFile, *bitmap);
    if (bitmap->GetPixelFormat() != pf32bit)
      throw Exception("\"" + pictureFile + "\" is not a PNG picture");
    PremultiplyAlpha(*bitmap);
    m_picture->SetParent(this);

    m_maker.SetUsePerPixelAlpha(true);
    if (!m_maker.Attach(m_picture))
      throw Exception("The picture cannot shape the window");

    m_menu = new TPopupMenu(this);
    AddItem("Show", &TShapeForm::ShowClick);
    AddItem("Hide", &TShapeForm::HideClick);
    AddItem(cLineCaption, nullptr);
    AddItem("Exit", &TShapeForm::ExitClick);

    m_tray = new TsTrayIcon(this, 1, kTrayCallback);
    m_tray->SetTip("Shape demo");
    const std::string iconFile = DemoFolder() + "Resource\\vantor16.ico";
    if (GetFileAttributesA(iconFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
      TIcon icon;
      icon.LoadFromFile(iconFile);
      m_tray->SetIcon(&icon);
    }
    m_tray->PopupMenu = m_menu;
    m_tray->PopupOn = tckRightUp;
    m_tray->OnDblClick = TNotifyEvent(this, &TShapeForm::ShowClick);
    m_tray->SetVisible(true);
  }

private:
  using TClick = void (TShapeForm::*)(TObject*);

  void AddItem(const char* caption, TClick click)
  {
    auto* item = new TMenuItem(this);
    item->SetCaption(caption);
    if (click)
      item->OnClick = TNotifyEvent(this, click);
    m_menu->Items()->Add(item);
  }

  void ShowClick(TObject*)
  {
    Show();
    SetForegroundWindow(GetHandle());
  }
  void HideClick(TObject*) { Hide(); }
  void ExitClick(TObject*) { Close(); }

  TImage* m_picture;
  TsPerPixelLayeredFormMaker m_maker;
  TPopupMenu* m_menu;
  TsTrayIcon* m_tray;
};

void CALLBACK QuitNow(HWND, UINT, UINT_PTR, DWORD)
{
  Application->Terminate();
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
  g_pictureFile = DemoFolder() + "Resource\\cpu_bg004.png";
  const std::vector<std::string> params = SplitCommandLine(GetCommandLineA());
  for (size_t i = 1; i < params.size(); ++i) {
    if (params[i] == "-quit" && i + 1 < params.size())
      SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(params[++i].c_str())) * 1000u, QuitNow);
    else
      g_pictureFile = params[i];
  }
  try {
    Application->Initialize();
    Application->SetTitle("Shape demo");
    TShapeForm* form = nullptr;
    Application->CreateForm(form);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  return 0;
}
