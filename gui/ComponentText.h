#pragma once
// Component text: a root component (a form) and the components it owns, with their published properties,
// in a small text layout of our own:
//
//   TDemoForm DemoForm {
//     Caption = "Levels"
//     Font.Style = [fsBold]
//     OnClick = FormClick
//     TDemoPanel Panel1 {
//       Color = clBtnFace
//       TDemoLabel Label1 {
//         Caption = "First line\nsecond line"
//         PopupMenu = Menu1
//       }
//     }
//     TDemoLabel Spare unparented {
//     }
//     TDemoMenu Menu1 {
//     }
//   }
//
// One block per component: its class, its name and, in braces, its property settings and then the blocks
// of the components it holds. A setting is `Name = value`; an owned persistent object's properties are
// set through its name (`Font.Height = -11`). Values: numbers (decimal, or 0x and hexadecimal digits),
// strings in double quotes (escapes \" \\ \n \r \t \xHH), true and false, and as bare names enumeration
// values, colours with a name, components (by name, within the root) and events (a published method of
// the root). Sets are names in brackets; pictures, the data of their BMP file as hexadecimal digits in
// braces (see PictureText.h). `#` starts a comment that runs to the end of the line. A value equal to its
// property's default (an empty picture) is not written.
//
// Every named component the root owns gets a block, and all of them belong to the root. A block sits in
// the block of the component that holds it: a control's parent, or what its class's placement declares;
// components that nothing holds sit in the root's block, and a control without a parent is marked
// `unparented` there. Unnamed components are parts their owners make for themselves and are not written.
#include "Classes.h"
#include "SysUtils.h"

#include <string>

// Something the root holds cannot be put into text (a name that is no identifier, a reference outside the
// root, a value without a name, a picture that is no bitmap).
class EWriteError : public EStreamError {
  using EStreamError::EStreamError;
};

// Text that cannot be read: the message names the line and the offending property, class or value.
class EComponentTextError : public EReadError {
public:
  EComponentTextError(int line, const std::string& message);
  int Line() const noexcept { return m_line; }

private:
  int m_line;
};

// The text of `root` and the named components it owns.
std::string WriteComponentText(TComponent* root);

// Applies `text` (which may start with a UTF-8 byte-order mark) to `root`: components the root does not
// own yet are created by class name through the component palette, owned by the root and placed in the
// component whose block holds theirs; then the properties are set in the order the text gives them, and
// component references once everything exists. All of them load meanwhile: Visible and the events the
// settings would raise (OnResize, OnShow) wait until every one has been read. Text that cannot be read
// raises EComponentTextError and changes nothing: whatever was created is freed, and the components the
// root had get back their values and what the setters changed on the side (parent flags, bounds, their
// place in z-order, tab order or a menu), with no event raised.
void ReadComponentText(TComponent* root, const std::string& text);
