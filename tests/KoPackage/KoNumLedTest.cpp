// The numeric LED read-out: what it shows, read back from the pixels of its display, for formats, numbers,
// times and dates, single glyphs on and off, colours and sizes; its transparency, its place among the
// controls, its text and its palette page.
#include "KoFixture.h"
#include "KoNumLedFixture.h"

#include "ComponentPalette.h"
#include "ComponentText.h"
#include "KoControl.h"
#include "Published.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

class KoNumLedShows : public TReadOutTest {};
class KoNumLedBehaviour : public TReadOutTest {};

bool Contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(KoNumLedShows, ANewReadOutShowsZeroInTheLastOfFourDigitsLightGreenOnBlack)
{
  KoNumLed* led = ReadOut();
  EXPECT_EQ(led->GetFormat(), "8888");
  EXPECT_EQ(Bounds(led->GetLeft(), led->GetTop(), led->GetWidth(), led->GetHeight()), Bounds(10, 10, 72, 22));
  ExpectShows(led, "   0");
  // The form shows the display where the control is: the bottom segment of the last 0, an unlit top
  // segment of the first digit, the background.
  const TClientPixels pixels = Pixels();
  EXPECT_EQ(pixels.At(10 + 54 + 8, 10 + 18), RGB(10, 240, 10));
  EXPECT_EQ(pixels.At(10 + 8, 10 + 2), RGB(14, 38, 62));
  EXPECT_EQ(pixels.At(10 + 1, 10 + 1), RGB(0, 0, 0));
  EXPECT_EQ(pixels.At(10 + 72, 10 + 1), kWhite) << "nothing beyond the read-out";
}

TEST_F(KoNumLedShows, EveryGlyphLightsTheFiguresOfItsTable)
{
  KoNumLed* digit = ReadOut("8");
  for (int value = 0; value <= 9; ++value) {
    digit->SetValue(static_cast<double>(value));
    ExpectShows(digit, std::to_string(value));
  }
  digit->Off(0);
  ExpectShows(digit, " ");
  digit->On(0);
  ExpectShows(digit, "8");

  // Glyphs that are no digits start fully lit and keep their states while numbers come and go.
  KoNumLed* others = ReadOut(".^C&");
  ExpectShows(others, ".^C&");
  others->SetValue(5.0);
  ExpectShows(others, ".^C&");
  others->Off(0);
  ExpectShows(others, "    ");
  others->On(3);
  ExpectShows(others, "  C ");
}

TEST_F(KoNumLedShows, NumbersAsTheFormatPlacesThem)
{
  const struct {
    const char* format;
    double value;
    bool zeroLeading;
    const char* shown;
  } cases[] = {
      {"8888", 42, false, "  42"},
      {"8888", 42, true, "0042"},
      {"8888", 0, false, "   0"},
      {"8888", 12345, false, "2345"},       // digits beyond the format are dropped
      {"8888", -17, false, "  17"},         // no sign
      {"88.8", 3.14159, false, " 3.1"},     // one fraction digit: 31
      {"88.8", 0, false, " 0.0"},
      {"88.8", -3.14159, false, " 3.1"},
      {"88.8", 2.96, false, " 3.0"},        // rounded half up
      {"88.88", 0.005, false, " 0.01"},
      {"8.8.8", 1.25, false, "1.2.5"},      // fraction digits are those after the first point
      {".8", 0.96, false, ".0"},            // the carry has no digit to go to
      {"88^C", 25, false, "25^C"},
      {"8888", 1180591620717411303424.0, false, "3424"},  // 2 to the 70th: its last four digits
      {"888&", 7, true, "007&"},
  };
  for (const auto& c : cases) {
    KoNumLed* led = ReadOut(c.format);
    led->SetZeroLeading(c.zeroLeading);
    led->SetValue(c.value);
    ExpectShows(led, c.shown);
    double stored = 0;
    EXPECT_TRUE(led->GetValue(stored));
    EXPECT_EQ(stored, c.value);
    delete led;
  }
}

TEST_F(KoNumLedShows, TimesAndDatesTakeTheirDigitsWithoutBlanking)
{
  const TDateTime morning = ComposeDateTime(EncodeDate(2026, 3, 7), EncodeTime(9, 5, 3, 0));
  const TDateTime lateNight = ComposeDateTime(EncodeDate(1999, 12, 31), EncodeTime(23, 59, 58, 0));
  const struct {
    const char* format;
    KoNumLedType type;
    TDateTime value;
    const char* shown;
  } cases[] = {
      {"HH.MM", nledTime, morning, "09.05"},
      {"hh.mm.ss", nledTime, lateNight, "23.59.58"},
      {"MMSS", nledTime, morning, "0503"},
      {"HH88", nledTime, morning, "09 0"},  // '8' is no part of a time: as the number 0 left it
      {"YYYY.MM.DD", nledDate, morning, "2026.03.07"},
      {"DD.MM.YY", nledDate, lateNight, "31.12.99"},
      {"yyyymmdd", nledDate, lateNight, "19991231"},
      // The last moment of 1899-12-29 rounds up to the next day, not back.
      {"YYYY.MM.DD", nledDate, TDateTime(-1.9999999999), "1899.12.30"},
      {"hh.mm.ss", nledTime, TDateTime(-1.9999999999), "00.00.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    KoNumLed* led = ReadOut(c.format);
    led->SetType(c.type);
    led->SetValue(c.value);
    ExpectShows(led, c.shown);
    TDateTime stored;
    EXPECT_TRUE(led->GetValue(stored));
    EXPECT_EQ(stored, c.value);
    delete led;
  }
}

TEST_F(KoNumLedBehaviour, EachModeKeepsItsOwnValueAndRefusesWhatItCannotShow)
{
  KoNumLed* led = ReadOut("88.88");
  led->SetValue(12.5);
  const TDateTime noon = ComposeDateTime(EncodeDate(2020, 1, 2), EncodeTime(12, 34, 0, 0));
  led->SetValue(noon);  // a number read-out ignores it
  ExpectShows(led, "12.50");
  TDateTime when(-5);
  EXPECT_FALSE(led->GetValue(when));
  EXPECT_EQ(when, TDateTime(-5)) << "untouched";

  led->SetType(nledTime);
  double number = -1;
  EXPECT_FALSE(led->GetValue(number));
  EXPECT_EQ(number, -1);
  led->SetValue(99.0);  // a time read-out ignores it
  led->SetFormat("HH.MM");
  led->SetValue(noon);
  ExpectShows(led, "12.34");

  // Not shown, not stored, and said so.
  EXPECT_THROW(led->SetValue(TDateTime(1e7)), EConvertError);
  EXPECT_TRUE(led->GetValue(when));
  EXPECT_EQ(when, noon);
  led->SetType(nledFloat);
  led->SetFormat("88.88");
  ExpectShows(led, "12.50");  // the number waited for its mode
  EXPECT_THROW(led->SetValue(std::numeric_limits<double>::quiet_NaN()), EConvertError);
  EXPECT_THROW(led->SetValue(std::numeric_limits<double>::infinity()), EConvertError);
  EXPECT_TRUE(led->GetValue(number));
  EXPECT_EQ(number, 12.5);
  ExpectShows(led, "12.50");
}

TEST_F(KoNumLedBehaviour, FormatsAreTakenOnlyWhenEveryCharacterMakesAGlyph)
{
  const struct {
    const char* format;
    int width, height;  // of the layout; 0 when refused
  } cases[] = {
      {"8888", 72, 22},    {"88^C", 64, 27},  {"88.8", 60, 27},        {"HH.MM", 78, 27},
      {"&", 47, 27},       {"DdHhMmSsYy", 180, 22},                    {"x", 0, 0},
      {"", 0, 0},          {"88x8", 0, 0},    {"8 8", 0, 0},           {"888,8", 0, 0},
      {"c", 0, 0},
  };
  KoNumLed* led = ReadOut("88.8");
  led->SetValue(4.2);
  for (const auto& c : cases) {
    const std::string before = led->GetFormat();
    const std::vector<uint8_t> pixels = DisplayPicture(led).SaveToBytes();
    if (c.width == 0) {
      EXPECT_THROW(led->SetFormat(c.format), EConvertError) << c.format;
      EXPECT_EQ(led->GetFormat(), before) << c.format;
      EXPECT_EQ(DisplayPicture(led).SaveToBytes(), pixels) << "a refused format changes nothing: " << c.format;
    } else {
      led->SetFormat(c.format);
      EXPECT_EQ(led->GetFormat(), c.format);
      EXPECT_EQ(led->Engine()->GlyphCount(), std::string(c.format).size());
      EXPECT_EQ(led->Engine()->LayoutWidth(), c.width) << c.format;
      EXPECT_EQ(led->Engine()->LayoutHeight(), c.height) << c.format;
      EXPECT_EQ(led->GetWidth(), 60) << "the read-out keeps its size";
    }
  }
}

TEST_F(KoNumLedBehaviour, SingleGlyphsGoOffAndComeBackWithTheirState)
{
  KoNumLed* led = ReadOut();
  led->SetValue(1234.0);
  led->Off(2);
  ExpectShows(led, "1 34");
  led->SetValue(5678.0);
  ExpectShows(led, "5 78");  // a value change keeps it blank
  led->On(2);
  ExpectShows(led, "5678");
  led->On(0);
  ExpectShows(led, "8888");  // every figure lit
  led->SetValue(1111.0);
  ExpectShows(led, "1111");  // the states were kept
  led->Off(0);
  ExpectShows(led, "    ");
  led->On(5);
  led->Off(5);
  ExpectShows(led, "    ");  // beyond the last glyph nothing changes
  led->On(4);
  ExpectShows(led, "   1");
}

TEST_F(KoNumLedBehaviour, ColoursComeFromLedColorsAndSystemColoursOnlyResolveWhereTheyShould)
{
  KoNumLed* led = ReadOut();
  led->SetValue(7.0);
  KoLedColors* colors = led->GetLedColors();
  EXPECT_EQ(colors->GetLightColor(), RGB(10, 240, 10));
  EXPECT_EQ(colors->GetDarkColor(), RGB(14, 38, 62));
  EXPECT_EQ(colors->GetBackgroundColor(), clBlack);
  EXPECT_EQ(colors->GetTransparentColor(), clBlack);

  colors->SetLightColor(clYellow);
  colors->SetDarkColor(RGB(40, 40, 40));
  colors->SetBackgroundColor(clNavy);
  ExpectShows(led, "   7", 1, 1, TReadOutLook{kYellow, RGB(40, 40, 40), RGB(0, 0, 128)});

  // A system colour: the lit colour takes its low bits as they stand, the background its current value.
  colors->SetLightColor(clBtnFace);
  colors->SetBackgroundColor(clBtnFace);
  EXPECT_EQ(colors->GetLightColor(), clBtnFace & 0xFFFFFF);
  const auto face = static_cast<TColor>(GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(colors->GetBackgroundColor(), face);
  ExpectShows(led, "   7", 1, 1,
              TReadOutLook{static_cast<COLORREF>(clBtnFace & 0xFFFFFF), RGB(40, 40, 40), static_cast<COLORREF>(face)});

  // The transparent colour is the picture's; nothing is drawn for it.
  DisplayPicture(led).GetCanvas()->SetPixel(0, 0, clRed);
  colors->SetTransparentColor(clWindow);
  EXPECT_EQ(colors->GetTransparentColor(), static_cast<TColor>(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(PixelOf(DisplayPicture(led), 0, 0), kRed);
}

TEST_F(KoNumLedBehaviour, AssigningColoursCopiesAllFourAndRedrawsTheDestination)
{
  KoNumLed* source = ReadOut();
  KoNumLed* destination = ReadOut();
  destination->SetValue(3.0);
  source->GetLedColors()->SetLightColor(clRed);
  source->GetLedColors()->SetDarkColor(clGreen);
  source->GetLedColors()->SetBackgroundColor(clWhite);
  source->GetLedColors()->SetTransparentColor(clFuchsia);
  destination->SetLedColors(source->GetLedColors());
  KoLedColors* copied = destination->GetLedColors();
  EXPECT_EQ(copied->GetLightColor(), clRed);
  EXPECT_EQ(copied->GetDarkColor(), clGreen);
  EXPECT_EQ(copied->GetBackgroundColor(), clWhite);
  EXPECT_EQ(copied->GetTransparentColor(), clFuchsia);
  ExpectShows(destination, "   3", 1, 1, TReadOutLook{kRed, RGB(0, 128, 0), kWhite});

  KoTwoStateFontColor stranger;
  EXPECT_THROW(copied->Assign(&stranger), EInvalidCast);
  EXPECT_THROW(stranger.Assign(copied), EInvalidCast);
  EXPECT_EQ(copied->GetLightColor(), clRed) << "nothing changed";
}

TEST_F(KoNumLedBehaviour, KeepRatioFitsTheLayoutInsideTheBoundsAndStaysFitted)
{
  const struct {
    const char* format;
    int width, height;
    bool keepRatio;
    int fittedWidth, fittedHeight;
  } cases[] = {
      {"8888", 144, 88, false, 144, 88}, {"8888", 144, 88, true, 144, 44}, {"8888", 100, 100, true, 100, 30},
      {"8888", 500, 30, true, 98, 30},   {"88.8", 144, 88, true, 144, 64}, {"8888", 10, 2, true, 6, 2},
      {"8", 5, 0, true, 0, 0},
  };
  for (const auto& c : cases) {
    KoNumLed* led = ReadOut(c.format);
    led->SetKeepRatio(c.keepRatio);
    led->SetBounds(4, 6, c.width, c.height);
    const TRect fitted = Bounds(4, 6, c.fittedWidth, c.fittedHeight);
    EXPECT_EQ(led->GetBoundsRect(), fitted) << c.format << " in " << c.width << " x " << c.height;
    EXPECT_EQ(led->Display()->GetBoundsRect(), fitted) << c.format;
    EXPECT_EQ(DisplayPicture(led).GetWidth(), c.fittedWidth);
    // Moved, refitted, or its own bounds applied again: a fitted read-out keeps its size.
    led->SetLeft(8);
    led->SetKeepRatio(c.keepRatio);
    led->SetBounds(led->GetLeft(), led->GetTop(), led->GetWidth(), led->GetHeight());
    EXPECT_EQ(led->GetBoundsRect(), Bounds(8, 6, c.fittedWidth, c.fittedHeight)) << c.format;
    EXPECT_EQ(led->Display()->GetBoundsRect(), led->GetBoundsRect());
    delete led;
  }
}

TEST_F(KoNumLedShows, ScaledGlyphsFollowTheirSize)
{
  KoNumLed* led = ReadOut();
  led->SetValue(1234.0);
  led->SetBounds(10, 10, 144, 44);
  ExpectShows(led, "1234", 2, 2);
  led->SetBounds(10, 10, 144, 22);  // stretched
  ExpectShows(led, "1234", 2, 1);
  led->SetKeepRatio(true);
  ExpectShows(led, "1234", 1, 1);  // the stretched read-out fitted to the glyphs' proportions
  // Squeezed to nothing and grown again: the glyphs are what they were.
  led->SetKeepRatio(false);
  led->SetBounds(10, 10, 3, 1);
  led->SetBounds(10, 10, 0, 0);
  led->SetBounds(10, 10, 216, 66);
  ExpectShows(led, "1234", 3, 3);
}

TEST_F(KoNumLedBehaviour, TransparentLetsTheParentShowWhereTheBackgroundIs)
{
  KoNumLed* led = ReadOut();
  EXPECT_FALSE(led->GetTransparent());
  EXPECT_EQ(Pixels().At(11, 11), RGB(0, 0, 0));
  led->SetTransparent(true);
  EXPECT_TRUE(led->GetTransparent());
  EXPECT_TRUE(led->Display()->GetTransparent());
  const TClientPixels pixels = Pixels();
  EXPECT_EQ(pixels.At(11, 11), kWhite) << "the form's colour";
  EXPECT_EQ(pixels.At(10 + 54 + 8, 10 + 18), RGB(10, 240, 10)) << "the glyphs stay";
  led->SetTransparent(false);
  EXPECT_EQ(Pixels().At(11, 11), RGB(0, 0, 0));
}

TEST_F(KoNumLedBehaviour, TheDisplaySitsInTheControlsParentAndThePointerReachesTheControl)
{
  auto* led = new KoNumLed(Form);
  led->SetName("led");
  EXPECT_EQ(led->Display()->GetParent(), nullptr) << "no parent yet";
  led->SetParent(Form);
  EXPECT_EQ(led->Display()->GetParent(), Form);
  led->SetBounds(30, 40, 72, 22);
  EXPECT_EQ(led->Display()->GetBoundsRect(), Bounds(30, 40, 72, 22));
  EXPECT_EQ(led->Display()->Owner(), led);

  Log.WatchMouse(led);
  ClickAt(Form->GetHandle(), 35, 45);
  EXPECT_EQ(Log.Entries, (std::vector<std::string>{"down led L 5,5", "up led L 5,5", "click led"}));

  led->SetVisible(false);
  EXPECT_FALSE(led->Display()->GetVisible());
  EXPECT_EQ(Pixels().At(31, 41), kWhite) << "hidden with the control";
  led->SetVisible(true);
  led->SetParent(nullptr);
  EXPECT_EQ(led->Display()->GetParent(), nullptr);
  EXPECT_EQ(Form->ControlCount(), 0);
  led->SetParent(Form);
  delete led;
  EXPECT_EQ(Form->ControlCount(), 0) << "the display went with the control";
}

TEST_F(KoNumLedBehaviour, ReadOutsReadBackFromTheirTextLookTheSame)
{
  KoNumLed::Register();
  const auto build = [](TForm* form) {
    form->SetName("Panel");
    form->Scaled = false;
    form->SetBorderStyle(bsNone);
    form->SetBounds(60, 200, 300, 120);
  };
  auto* form = new TForm(App.Get());
  build(form);
  auto* plain = new KoNumLed(form);
  plain->SetName("Plain");
  plain->SetParent(form);
  auto* fancy = new KoNumLed(form);
  fancy->SetName("Fancy");
  fancy->SetParent(form);
  fancy->SetFormat("88.8^C");
  fancy->SetKeepRatio(true);
  fancy->SetBounds(5, 30, 200, 80);
  fancy->SetZeroLeading(true);
  fancy->GetLedColors()->SetLightColor(clRed);
  fancy->GetLedColors()->SetBackgroundColor(clWhite);
  fancy->SetTransparent(true);
  auto* clock = new KoNumLed(form);
  clock->SetName("Clock");
  clock->SetParent(form);
  clock->SetFormat("HH.MM");
  clock->SetType(nledTime);
  clock->SetBounds(220, 5, 78, 27);

  const std::string text = WriteComponentText(form);
  for (const char* line : {"KoNumLed Plain", "Format = \"8888\"", "Format = \"88.8^C\"", "KeepRatio = true",
                           "ZeroLeading = true", "LedColors.LightColor = clRed", "Transparent = true",
                           "Type = nledTime", "Width = 200"})
    EXPECT_TRUE(Contains(text, line)) << line << " missing from\n" << text;
  const std::string plainBlock = text.substr(text.find("KoNumLed Plain"), text.find("KoNumLed Fancy") - text.find("KoNumLed Plain"));
  for (const char* absent : {"Width", "Type", "Style", "KeepRatio", "Transparent =", "ZeroLeading", "BackgroundColor"})
    EXPECT_FALSE(Contains(plainBlock, absent)) << absent << " written for a new read-out:\n" << plainBlock;

  auto* fresh = new TForm(App.Get());
  build(fresh);
  ReadComponentText(fresh, text);
  EXPECT_EQ(WriteComponentText(fresh), text);
  const TDateTime evening = EncodeTime(19, 45, 0, 0);
  for (TForm* each : {form, fresh}) {
    auto* copy = dynamic_cast<KoNumLed*>(each->FindComponent("Fancy"));
    ASSERT_NE(copy, nullptr);
    copy->SetValue(7.5);
    dynamic_cast<KoNumLed*>(each->FindComponent("Clock"))->SetValue(evening);
  }
  for (const char* name : {"Plain", "Fancy", "Clock"}) {
    auto* original = dynamic_cast<KoNumLed*>(form->FindComponent(name));
    auto* copy = dynamic_cast<KoNumLed*>(fresh->FindComponent(name));
    ASSERT_NE(copy, nullptr) << name;
    EXPECT_EQ(copy->GetBoundsRect(), original->GetBoundsRect()) << name;
    EXPECT_EQ(DisplayPicture(copy).SaveToBytes(), DisplayPicture(original).SaveToBytes()) << name;
  }

  // A format that makes no glyphs is an error in the text, and the text changes nothing.
  auto* third = new TForm(App.Get());
  build(third);
  std::string broken = text;
  broken.replace(broken.find("\"88.8^C\""), 8, "\"88,8^C\"");
  EXPECT_THROW(ReadComponentText(third, broken), EComponentTextError);
  EXPECT_EQ(third->ComponentCount(), 0);
}

TEST(KoNumLedPublished, TheReadOutIsOnItsPageAndANewOneHoldsEveryDefault)
{
  KoNumLed::Register();
  EXPECT_EQ(PalettePageOf("KoNumLed"), "KoComponents");
  TComponent owner(nullptr);
  EXPECT_NE(dynamic_cast<KoNumLed*>(CreateComponent("KoNumLed", &owner)), nullptr);

  const TPublishedClass* table = FindPublishedClass("KoNumLed");
  ASSERT_NE(table, nullptr);
  std::vector<std::string> names;
  for (const TPropertyInfo* property : table->Properties())
    names.push_back(property->Name());
  EXPECT_EQ(names, (std::vector<std::string>{
                       "Left", "Top", "Width", "Height", "Type", "Style", "ZeroLeading", "Format", "LedColors",
                       "Transparent", "KeepRatio", "Align", "Anchors", "Constraints", "Enabled", "ParentShowHint",
                       "PopupMenu", "ShowHint", "Visible", "OnClick", "OnContextPopup", "OnDblClick", "OnMouseDown",
                       "OnMouseMove", "OnMouseUp"}));
  KoNumLed led(nullptr);
  for (const TPropertyInfo* property : table->Properties()) {
    if (property->HasDefault()) {
      EXPECT_TRUE(property->IsDefault(&led)) << property->Name();
    }
  }
  EXPECT_FALSE(table->FindProperty("Format")->HasDefault()) << "the format is always kept";
  const TPublishedClass* colors = FindPublishedClass("KoLedColors");
  ASSERT_NE(colors, nullptr);
  for (const char* name : {"LightColor", "DarkColor", "BackgroundColor", "TransparentColor"}) {
    const TPropertyInfo* property = colors->FindProperty(name);
    ASSERT_NE(property, nullptr) << name;
    EXPECT_EQ(property->Kind(), TPropertyKind::Color);
    EXPECT_EQ(property->OrdinalDefault(), 0) << name;
  }
}

TEST_F(KoNumLedBehaviour, ValueChangesLeaveNoObjectsBehind)
{
  KoNumLed* led = ReadOut("8888.8888^C");
  const auto changes = [&](int count) {
    for (int i = 0; i < count; ++i) {
      led->SetValue(i * 1.25);
      PumpPending();
    }
  };
  changes(50);
  const int gdiBefore = GdiObjectCount();
  const int windowsBefore = ThreadWindowCount();
  ASSERT_GT(gdiBefore, 0) << "the counter sees this process's objects";
  changes(2000);
  led->SetFormat("88.88");
  led->SetFormat("8888.8888^C");
  EXPECT_EQ(GdiObjectCount(), gdiBefore);
  EXPECT_EQ(ThreadWindowCount(), windowsBefore);
}

TEST_F(KoNumLedShows, ChangesAreOnTheScreenAtOnceAsTheDisplayHoldsThem)
{
  KoNumLed* led = ReadOut("88.8");
  PumpPending();
  const HWND window = Form->GetHandle();
  const struct {
    const char* what;
    std::function<void()> act;
  } cases[] = {
      {"a value", [&] { led->SetValue(1.5); }},
      {"another value", [&] { led->SetValue(27.3); }},
      {"a glyph off", [&] { led->Off(2); }},
      {"every glyph on", [&] { led->On(0); }},
      {"a repaint", [&] { led->Repaint(); }},
  };
  for (const auto& c : cases) {
    c.act();
    // Whatever the system would still paint later is dropped: the pixels must already be there.
    ValidateRect(window, nullptr);
    const TClientPixels screen(window);
    TBitmap& picture = DisplayPicture(led);
    int differing = 0;
    for (int y = 0; y < picture.GetHeight(); ++y)
      for (int x = 0; x < picture.GetWidth(); ++x)
        differing += screen.At(led->GetLeft() + x, led->GetTop() + y) != PixelOf(picture, x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0) << c.what;
  }
}
