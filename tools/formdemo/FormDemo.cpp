// A small form with images and labels, to look at the class library on screen (under Wine: run it on a
// display and take a screenshot). "-quit N" closes it after N seconds.
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "SysUtils.h"

#include <cstdlib>

namespace {

class TDemoForm : public TForm {
public:
  explicit TDemoForm(TComponent* owner) : TForm(owner)
  {
    Scaled = false;
    SetCaption("Image and label");
    SetBorderStyle(bsSingle);
    SetColor(clBtnFace);
    SetClientSize(350, 200);
    SetBounds(100, 100, GetWidth(), GetHeight());

    m_picture = new TImage(this);
    m_picture->SetBounds(10, 10, 160, 120);
    TCanvas* canvas = m_picture->GetCanvas();
    for (int y = 0; y < 120; ++y) {
      canvas->GetPen()->SetColor(RGB(40 + y, 80 + y, 200));
      canvas->MoveTo(0, y);
      canvas->LineTo(160, y);
    }
    canvas->GetBrush()->SetColor(clFuchsia);
    canvas->Ellipse(30, 20, 130, 100);
    m_picture->SetParent(this);

    // The same picture with its magenta keyed away.
    m_keyed = new TImage(this);
    m_keyed->SetBounds(180, 10, 160, 120);
    m_keyed->GetPicture()->GetBitmap()->Assign(m_picture->GetPicture()->GetBitmap());
    m_keyed->GetPicture()->GetBitmap()->SetTransparentColor(clFuchsia);
    m_keyed->SetTransparent(true);
    m_keyed->SetParent(this);

    m_level = new TLabel(this);
    m_level->SetAutoSize(false);
    m_level->SetBounds(10, 140, 330, 24);
    m_level->SetAlignment(taCenter);
    m_level->SetLayout(tlCenter);
    m_level->SetTransparent(true);
    m_level->GetFont()->SetHeight(-20);
    m_level->GetFont()->SetColor(RGB(70, 130, 226));
    m_level->GetFont()->SetStyle({fsBold});
    m_level->SetCaption("Balanced");
    m_level->SetParent(this);

    m_question = new TLabel(this);
    m_question->SetBounds(10, 166, 330, 30);
    m_question->GetFont()->SetColor(clRed);
    m_question->GetFont()->SetHeight(-13);
    m_question->SetCaption("The setting needs a system restart,\nDo you want to apply it?");
    m_question->SetParent(this);
  }

private:
  TImage* m_picture;
  TImage* m_keyed;
  TLabel* m_level;
  TLabel* m_question;
};

void CALLBACK QuitNow(HWND, UINT, UINT_PTR, DWORD)
{
  Application->Terminate();
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
  const std::vector<std::string> params = SplitCommandLine(GetCommandLineA());
  for (size_t i = 1; i + 1 < params.size(); ++i) {
    if (params[i] == "-quit")
      SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(params[i + 1].c_str())) * 1000u, QuitNow);
  }
  try {
    Application->Initialize();
    Application->SetTitle("Form demo");
    TDemoForm* form = nullptr;
    Application->CreateForm(form);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  return 0;
}
