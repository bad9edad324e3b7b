#include "CtrlformAccess.h"

#include "Ctrlform.h"
#include "Main.h"

#include "KoButton.h"
#include "KoButtonTx.h"

#include "Colors.h"
#include "StdCtrls.h"

namespace {

bool SystemHighContrast()
{
  HIGHCONTRASTA setting{};
  setting.cbSize = sizeof(setting);
  return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) &&
         (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

THighContrastQuery g_highContrast = &SystemHighContrast;

} // namespace

bool HighContrastOn()
{
  return g_highContrast();
}

THighContrastQuery SetHighContrastQuery(THighContrastQuery query)
{
  const THighContrastQuery previous = g_highContrast;
  g_highContrast = query ? query : &SystemHighContrast;
  return previous;
}

TControlFormAccess::~TControlFormAccess()
{
  if (m_attached)
    m_form.WindowProc.Unhook(TWindowHook(this, &TControlFormAccess::WindowMessage));
}

void TControlFormAccess::Attach()
{
  m_form.PrevButton->SetAccessibleName("Previous level");
  m_form.NextButton->SetAccessibleName("Next level");
  m_form.WindowProc.Hook(TWindowHook(this, &TControlFormAccess::WindowMessage));
  m_attached = true;
  FollowContrast();
}

bool TControlFormAccess::WindowMessage(TMessage& Message)
{
  switch (Message.Msg) {
  case WM_GETOBJECT:
    return m_host.Answer(Message.WParam, Message.LParam, Message.Result);
  case WM_SETTINGCHANGE:
  case WM_SYSCOLORCHANGE:
    FollowContrast();
    return false;
  default:
    return false;
  }
}

void TControlFormAccess::LevelShown()
{
  const std::string& level = m_form.CpuLabel->GetCaption();
  if (level == m_announcedLevel)
    return;
  m_announcedLevel = level;
  m_host.Notify(EVENT_OBJECT_NAMECHANGE, kLevelChild);
}

void TControlFormAccess::QuestionShown()
{
  m_questionShown = true;
  m_host.Notify(EVENT_OBJECT_SHOW, kQuestionChild);
  m_host.Notify(EVENT_SYSTEM_ALERT, kQuestionChild);
}

void TControlFormAccess::QuestionHidden()
{
  if (!m_questionShown)
    return;
  m_questionShown = false;
  m_host.Notify(EVENT_OBJECT_HIDE, kQuestionChild);
}

void TControlFormAccess::FollowContrast()
{
  const bool on = HighContrastOn();
  if (on == m_highContrast) {
    // Another high-contrast theme: the system colours the captions use are new.
    if (on)
      m_form.Invalidate();
    return;
  }
  m_highContrast = on;
  ApplyContrast();
}

void TControlFormAccess::ApplyContrast()
{
  TLabel* level = m_form.CpuLabel;
  TLabel* question = m_form.MsgLabel;
  if (m_levelColor == clNone) {
    m_levelColor = level->GetFont()->GetColor();
    m_questionColor = question->GetFont()->GetColor();
  }
  // The labels lie on the keyed face over the main picture; a face of their own keeps them readable
  // whatever the picture and the theme.
  for (TLabel* label : {level, question}) {
    label->SetColor(clWindow);
    label->SetTransparent(!m_highContrast);
  }
  level->GetFont()->SetColor(m_highContrast ? clWindowText : m_levelColor);
  question->GetFont()->SetColor(m_highContrast ? clWindowText : m_questionColor);
  m_form.OkButton->SetPlainFace(m_highContrast);
  m_form.CancelButton->SetPlainFace(m_highContrast);
}

HWND TControlFormAccess::AccWindow() const
{
  return m_form.HandleAllocated() ? m_form.GetHandle() : nullptr;
}

TLabel* TControlFormAccess::LabelOf(long child) const
{
  return child == kLevelChild ? m_form.CpuLabel : child == kQuestionChild ? m_form.MsgLabel : nullptr;
}

KoButton* TControlFormAccess::ButtonOf(long child) const
{
  switch (child) {
  case kOkChild:
    return m_form.OkButton;
  case kCancelChild:
    return m_form.CancelButton;
  case kPrevChild:
    return m_form.PrevButton;
  case kNextChild:
    return m_form.NextButton;
  default:
    return nullptr;
  }
}

IDispatch* TControlFormAccess::AccChildObject(long child)
{
  KoButton* button = ButtonOf(child);
  return button ? button->AccessibleObject() : nullptr;
}

std::wstring TControlFormAccess::AccName(long child) const
{
  if (const TLabel* label = LabelOf(child))
    return KoAccessibleText(label->GetCaption());
  return KoAccessibleText(ProgramName());
}

long TControlFormAccess::AccRole(long child) const
{
  switch (child) {
  case kLevelChild:
    return ROLE_SYSTEM_STATICTEXT;
  case kQuestionChild:
    return ROLE_SYSTEM_ALERT;
  default:
    return ROLE_SYSTEM_DIALOG;
  }
}

long TControlFormAccess::AccState(long child) const
{
  const long window = KoWindowState(AccWindow());
  const TLabel* label = LabelOf(child);
  if (!label)
    return window;
  return STATE_SYSTEM_READONLY | ((window & STATE_SYSTEM_INVISIBLE) || !label->GetVisible() ? STATE_SYSTEM_INVISIBLE : 0);
}

RECT TControlFormAccess::AccBounds(long child) const
{
  const TLabel* label = LabelOf(child);
  if (!label)
    return KoAccessibleSource::AccBounds(child);
  const TPoint topLeft = m_form.ClientToScreen(Point(label->GetLeft(), label->GetTop()));
  return RECT{topLeft.x, topLeft.y, topLeft.x + label->GetWidth(), topLeft.y + label->GetHeight()};
}
