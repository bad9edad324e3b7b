#include "ComponentText.h"

#include "ComponentPalette.h"
#include "Controls.h"
#include "PictureText.h"
#include "PropertyText.h"
#include "Published.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

EComponentTextError::EComponentTextError(int line, const std::string& message)
    : EReadError(Format("Line %d: %s", line, message.c_str())), m_line(line)
{
}

namespace {

// Deeper nesting than this is taken for a mistake (or a loop) rather than a design.
constexpr int kMaxDepth = 64;
constexpr const char* kUnparented = "unparented";

// Component names compare as the owner's FindComponent compares them.
bool SameName(const std::string& a, const std::string& b)
{
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Controls sit in their parent unless their class declares another placement.
const TPlacement& ControlPlacement()
{
  static const TPlacement placement = [] {
    TPlacement controls;
    controls.Container = &TClassInfo::Of<TWinControl>();
    controls.GetContainer = [](TComponent* component) -> TComponent* {
      auto* control = dynamic_cast<TControl*>(component);
      return control ? control->GetParent() : nullptr;
    };
    controls.Place = [](TComponent* component, TComponent* container) {
      auto* control = dynamic_cast<TControl*>(component);
      auto* parent = dynamic_cast<TWinControl*>(container);
      if (!control || (container && !parent))
        throw EPropertyError(component->Name() + " cannot be placed in " + container->Name());
      control->SetParent(parent);
    };
    return controls;
  }();
  return placement;
}

const TPlacement* PlacementOf(const TPublishedClass* table, bool isControl)
{
  if (const TPlacement* declared = table ? table->Placement() : nullptr)
    return declared;
  return isControl ? &ControlPlacement() : nullptr;
}

// --- text into tokens ---

enum class TTokenKind { End, Name, Number, String, Symbol };

struct TToken {
  TTokenKind Kind;
  std::string Text;
  int Line;
};

bool IsNameChar(char c)
{
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

int HexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Reads the string that starts at text[pos] (a double quote); leaves pos after the closing quote.
std::string ReadString(const std::string& text, size_t& pos, int line)
{
  std::string value;
  ++pos;
  for (;;) {
    if (pos >= text.size() || text[pos] == '\n')
      throw EComponentTextError(line, "unterminated string");
    const char c = text[pos++];
    if (c == '"')
      return value;
    if (c != '\\') {
      value += c;
      continue;
    }
    if (pos >= text.size() || text[pos] == '\n')
      throw EComponentTextError(line, "unterminated string");
    const char escape = text[pos++];
    switch (escape) {
    case 'n': value += '\n'; break;
    case 'r': value += '\r'; break;
    case 't': value += '\t'; break;
    case '"': value += '"'; break;
    case '\\': value += '\\'; break;
    case 'x': {
      const int high = pos < text.size() ? HexDigit(text[pos]) : -1;
      const int low = pos + 1 < text.size() ? HexDigit(text[pos + 1]) : -1;
      if (high < 0 || low < 0)
        throw EComponentTextError(line, "\\x in a string needs two hexadecimal digits");
      value += static_cast<char>(high * 16 + low);
      pos += 2;
      break;
    }
    default:
      throw EComponentTextError(line, Format("unknown escape \\%c in a string", escape));
    }
  }
}

std::vector<TToken> Tokenize(const std::string& text)
{
  std::vector<TToken> tokens;
  int line = 1;
  size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    const size_t start = pos;
    if (c == '\n') {
      ++line;
      ++pos;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      ++pos;
    } else if (c == '#') {
      while (pos < text.size() && text[pos] != '\n')
        ++pos;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      while (pos < text.size() && IsNameChar(text[pos]))
        ++pos;
      tokens.push_back({TTokenKind::Name, text.substr(start, pos - start), line});
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '-' && pos + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[pos + 1])))) {
      // Letters run on into the number, so that "12px" is one bad number rather than two tokens.
      ++pos;
      while (pos < text.size() && IsNameChar(text[pos]))
        ++pos;
      tokens.push_back({TTokenKind::Number, text.substr(start, pos - start), line});
    } else if (c == '"') {
      std::string value = ReadString(text, pos, line);
      tokens.push_back({TTokenKind::String, std::move(value), line});
    } else if (std::strchr("{}=[],.", c)) {
      tokens.push_back({TTokenKind::Symbol, std::string(1, c), line});
      ++pos;
    } else {
      const unsigned char byte = static_cast<unsigned char>(c);
      const bool printable = byte >= 0x20 && byte < 0x7F;
      throw EComponentTextError(line, printable ? Format("unexpected character '%c'", c)
                                                : Format("unexpected character 0x%02X", byte));
    }
  }
  tokens.push_back({TTokenKind::End, std::string(), line});
  return tokens;
}

// --- tokens into blocks ---

struct TSettingText {
  int Line = 0;
  std::vector<std::string> Path;
  TTextValue Value;

  std::string PathText() const
  {
    std::string text;
    for (const std::string& segment : Path)
      text += (text.empty() ? "" : ".") + segment;
    return text;
  }
};

struct TBlockText {
  int Line = 0;
  std::string ClassName;
  std::string Name;
  bool Unparented = false;
  std::vector<TSettingText> Settings;
  std::vector<TBlockText> Blocks;
};

class TParser {
public:
  explicit TParser(const std::string& text) : m_tokens(Tokenize(text)) {}

  TBlockText ParseRoot()
  {
    TBlockText root = ParseBlock(0);
    if (Peek().Kind != TTokenKind::End)
      Fail(Peek(), "unexpected " + Describe(Peek()) + " after the end of the root block");
    return root;
  }

private:
  const TToken& Peek(size_t ahead = 0) const { return m_tokens[std::min(m_pos + ahead, m_tokens.size() - 1)]; }
  const TToken& Next()
  {
    const TToken& token = Peek();
    if (m_pos + 1 < m_tokens.size())
      ++m_pos;
    return token;
  }
  static bool IsSymbol(const TToken& token, char symbol)
  {
    return token.Kind == TTokenKind::Symbol && token.Text[0] == symbol;
  }
  static std::string Describe(const TToken& token)
  {
    switch (token.Kind) {
    case TTokenKind::End: return "end of text";
    case TTokenKind::String: return "string " + QuoteString(token.Text);
    default: return "'" + token.Text + "'";
    }
  }
  [[noreturn]] static void Fail(const TToken& token, const std::string& message)
  {
    throw EComponentTextError(token.Line, message);
  }
  const TToken& ExpectName(const char* what)
  {
    const TToken& token = Next();
    if (token.Kind != TTokenKind::Name)
      Fail(token, std::string("expected ") + what + ", found " + Describe(token));
    return token;
  }
  void ExpectSymbol(char symbol, const std::string& where)
  {
    const TToken& token = Next();
    if (!IsSymbol(token, symbol))
      Fail(token, Format("expected '%c' %s, found ", symbol, where.c_str()) + Describe(token));
  }

  TBlockText ParseBlock(int depth)
  {
    if (depth > kMaxDepth)
      Fail(Peek(), "components nested too deeply");
    TBlockText block;
    const TToken& className = ExpectName("a class name");
    block.Line = className.Line;
    block.ClassName = className.Text;
    if (Peek().Kind == TTokenKind::Name) {
      block.Name = Next().Text;
      if (Peek().Kind == TTokenKind::Name && Peek().Text == kUnparented) {
        Next();
        block.Unparented = true;
      }
    }
    ExpectSymbol('{', "after " + block.ClassName + (block.Name.empty() ? "" : " " + block.Name));
    for (;;) {
      const TToken& token = Peek();
      if (IsSymbol(token, '}')) {
        Next();
        return block;
      }
      if (token.Kind == TTokenKind::End)
        Fail(token, Format("missing '}' of %s %s (line %d)", block.ClassName.c_str(), block.Name.c_str(),
                           block.Line));
      if (token.Kind != TTokenKind::Name)
        Fail(token, "expected a property or a component, found " + Describe(token));
      if (IsSymbol(Peek(1), '=') || IsSymbol(Peek(1), '.'))
        AddSetting(block, ParseSetting());
      else
        block.Blocks.push_back(ParseBlock(depth + 1));
    }
  }

  static void AddSetting(TBlockText& block, TSettingText setting)
  {
    for (const TSettingText& earlier : block.Settings) {
      if (earlier.Path == setting.Path)
        throw EComponentTextError(setting.Line, setting.PathText() + " is set twice");
    }
    block.Settings.push_back(std::move(setting));
  }

  TSettingText ParseSetting()
  {
    TSettingText setting;
    setting.Line = Peek().Line;
    setting.Path.push_back(Next().Text);
    while (IsSymbol(Peek(), '.')) {
      Next();
      setting.Path.push_back(ExpectName("a property name after '.'").Text);
    }
    ExpectSymbol('=', "after " + setting.PathText());
    setting.Value = ParseValue(setting.PathText());
    return setting;
  }

  TTextValue ParseValue(const std::string& path)
  {
    const TToken& token = Next();
    TTextValue value;
    value.Text = token.Text;
    switch (token.Kind) {
    case TTokenKind::Number: value.Kind = TTextValue::Number; return value;
    case TTokenKind::String: value.Kind = TTextValue::String; return value;
    case TTokenKind::Name: value.Kind = TTextValue::Name; return value;
    default: break;
    }
    if (IsSymbol(token, '{'))
      return ParseData(path);
    if (!IsSymbol(token, '['))
      Fail(token, "expected a value for " + path + ", found " + Describe(token));
    value.Kind = TTextValue::Set;
    value.Text.clear();
    if (IsSymbol(Peek(), ']')) {
      Next();
      return value;
    }
    for (;;) {
      value.Items.push_back(ExpectName("a name in the set").Text);
      const TToken& separator = Next();
      if (IsSymbol(separator, ']'))
        return value;
      if (!IsSymbol(separator, ','))
        Fail(separator, "expected ',' or ']' in the set of " + path + ", found " + Describe(separator));
    }
  }

  // A picture's data: hexadecimal digits up to the closing brace. The digits tokenize as numbers and
  // names; whether they pair up is checked against the property.
  TTextValue ParseData(const std::string& path)
  {
    TTextValue value;
    value.Kind = TTextValue::Data;
    for (;;) {
      const TToken& token = Next();
      if (IsSymbol(token, '}'))
        return value;
      if (token.Kind != TTokenKind::Number && token.Kind != TTokenKind::Name)
        Fail(token, "expected hexadecimal digits or '}' in the data of " + path + ", found " + Describe(token));
      value.Text += token.Text;
    }
  }

  std::vector<TToken> m_tokens;
  size_t m_pos = 0;
};

// --- reading ---

struct TPlannedSetting {
  const TSettingText* Source = nullptr;
  // The owned objects on the way to the property (Font, for Font.Height).
  std::vector<const TPropertyInfo*> Objects;
  const TPropertyInfo* Property = nullptr;
  int64_t Ordinal = 0;
  std::string Text;
  const TPublishedMethod* Method = nullptr;
  // A picture made from its data while checking, so that data that is no bitmap changes nothing.
  std::shared_ptr<TPersistent> Picture;
};

struct TNode {
  const TBlockText* Block = nullptr;
  TNode* Holder = nullptr;
  // The component the root already owns, or the class to create.
  TComponent* Existing = nullptr;
  const TCreatableClass* Factory = nullptr;
  const TPublishedClass* Table = nullptr;
  const TPlacement* Placement = nullptr;
  std::vector<TPlannedSetting> Settings;
  std::vector<std::unique_ptr<TNode>> Children;
  TComponent* Component = nullptr;

  std::string ClassName() const { return Existing ? Existing->ClassName() : Factory->Name(); }
  // Whether a component of this node's class is a `info`.
  bool IsA(const TClassInfo& info) const
  {
    return Existing ? info.IsInstance(Existing) : Factory->Info->InheritsFrom(info);
  }
};

struct TFixup {
  int Line;
  TObject* Object;
  const TPropertyInfo* Property;
  std::string Name;
  bool Restore;
};

// Reads in three steps so that bad text changes nothing: the text is parsed whole, then every class,
// property, value, method and reference is checked against the tables, and only then are components
// created and properties set. What can still fail then (a factory or a setter raising) is undone: the
// values set are put back, the components made are freed, and then each component the root had gets
// back the state it saved before anything touched it, which undoes what setters did on the side. Every
// component stays loading until the end, so that nothing shows and no handler runs half-way.
class TReader {
public:
  explicit TReader(TComponent* root) : m_root(root), m_rootTable(FindPublishedClass(root)) {}

  void Read(const TBlockText& text)
  {
    TNode root;
    PlanRoot(root, text);
    CheckReferences();
    try {
      Apply(root);
    } catch (const EComponentTextError&) {
      Undo();
      EndLoading();
      throw;
    } catch (const Exception& error) {
      Undo();
      EndLoading();
      throw EComponentTextError(m_line, error.Message());
    } catch (...) {
      Undo();
      EndLoading();
      throw;
    }
    EndLoading();
  }

private:
  [[noreturn]] static void Fail(int line, const std::string& message)
  {
    throw EComponentTextError(line, message);
  }

  static const TClassInfo* ClassNamed(const std::string& name)
  {
    if (const TCreatableClass* componentClass = FindCreatableClass(name))
      return componentClass->Info;
    const TPublishedClass* table = FindPublishedClass(name);
    return table ? &table->Info() : nullptr;
  }

  void PlanRoot(TNode& root, const TBlockText& block)
  {
    const TClassInfo* named = ClassNamed(block.ClassName);
    if (block.ClassName != m_root->ClassName() && !(named && named->IsInstance(m_root)))
      Fail(block.Line, "the text describes a " + block.ClassName + ", not a " + m_root->ClassName());
    m_rootName = block.Name.empty() ? m_root->Name() : block.Name;
    root.Block = &block;
    root.Existing = m_root;
    root.Table = m_rootTable;
    root.Component = m_root;
    PlanNode(root);
  }

  void PlanNode(TNode& node)
  {
    // Reserved, so that the references noted below keep pointing at their settings.
    node.Settings.reserve(node.Block->Settings.size());
    for (const TSettingText& setting : node.Block->Settings) {
      node.Settings.push_back(PlanSetting(node, setting));
      if (node.Settings.back().Property->Kind() == TPropertyKind::Reference)
        m_references.push_back(&node.Settings.back());
    }
    for (const TBlockText& child : node.Block->Blocks)
      node.Children.push_back(PlanChild(node, child));
  }

  std::unique_ptr<TNode> PlanChild(TNode& holder, const TBlockText& block)
  {
    if (block.Name.empty())
      Fail(block.Line, "the " + block.ClassName + " needs a component name");
    if (SameName(block.Name, m_rootName) || FindNode(block.Name))
      Fail(block.Line, "two components are named " + block.Name);
    auto node = std::make_unique<TNode>();
    node->Block = &block;
    node->Holder = &holder;
    node->Existing = m_root->FindComponent(block.Name);
    if (node->Existing) {
      const TClassInfo* named = ClassNamed(block.ClassName);
      if (node->Existing->ClassName() != block.ClassName && !(named && named->IsInstance(node->Existing)))
        Fail(block.Line, block.Name + " is a " + node->Existing->ClassName() + ", not a " + block.ClassName);
      node->Table = FindPublishedClass(node->Existing);
    } else {
      node->Factory = FindCreatableClass(block.ClassName);
      if (!node->Factory)
        Fail(block.Line, "unknown class " + block.ClassName);
      node->Table = FindPublishedClass(*node->Factory->Info);
    }
    node->Placement = PlacementOf(node->Table, node->IsA(TClassInfo::Of<TControl>()));
    CheckPlacement(*node);
    m_nodes.push_back(node.get());
    PlanNode(*node);
    return node;
  }

  void CheckPlacement(const TNode& node) const
  {
    const TNode& holder = *node.Holder;
    std::string holderName = holder.Holder ? holder.Block->Name : m_rootName;
    if (holderName.empty())
      holderName = "the " + holder.ClassName();
    const std::string refusal =
        node.Block->Name + " (" + node.ClassName() + ") cannot be placed in " + holderName;
    if (!node.Placement) {
      if (holder.Holder)
        Fail(node.Block->Line, refusal);
      return;
    }
    if (!node.Block->Unparented && !holder.IsA(*node.Placement->Container))
      Fail(node.Block->Line, refusal);
  }

  TNode* FindNode(const std::string& name) const
  {
    for (TNode* node : m_nodes) {
      if (SameName(node->Block->Name, name))
        return node;
    }
    return nullptr;
  }

  TPlannedSetting PlanSetting(const TNode& node, const TSettingText& setting)
  {
    TPlannedSetting planned;
    planned.Source = &setting;
    TObject* object = node.Existing;
    const TPublishedClass* table = node.Table;
    std::string className = node.ClassName();
    for (size_t i = 0; i < setting.Path.size(); ++i) {
      const std::string& segment = setting.Path[i];
      const TPropertyInfo* property = table ? table->FindProperty(segment) : nullptr;
      if (!property)
        Fail(setting.Line, className + " has no property " + segment);
      if (i + 1 == setting.Path.size()) {
        planned.Property = property;
        break;
      }
      if (property->Kind() != TPropertyKind::Object)
        Fail(setting.Line, Format("%s of %s is %s, not an object with properties", segment.c_str(),
                                  className.c_str(), KindText(property->Kind())));
      planned.Objects.push_back(property);
      if (object) {
        object = property->GetObject(object);
        if (!object)
          Fail(setting.Line, segment + " of " + className + " is not there to be set");
        table = FindPublishedClass(object);
        className = object->ClassName();
      } else {
        table = FindPublishedClass(property->ValueClass());
        className = property->ValueClass().Name();
      }
    }
    PlanValue(planned);
    return planned;
  }

  void PlanValue(TPlannedSetting& planned)
  {
    const TSettingText& setting = *planned.Source;
    const TPropertyInfo& property = *planned.Property;
    const TTextValue& value = setting.Value;
    const std::string path = setting.PathText();
    switch (property.Kind()) {
    case TPropertyKind::Object:
      Fail(setting.Line, path + " is an object: set its properties, as in " + path + "." + "Name = ...");
    case TPropertyKind::Picture:
      PlanPicture(planned);
      return;
    case TPropertyKind::String:
      if (value.Kind != TTextValue::String)
        Fail(setting.Line, path + " is a string: write it in double quotes");
      planned.Text = value.Text;
      return;
    case TPropertyKind::Reference:
      if (value.Kind != TTextValue::Name)
        Fail(setting.Line, path + " needs the name of a component");
      planned.Text = value.Text;
      return;
    case TPropertyKind::Event: {
      if (value.Kind != TTextValue::Name)
        Fail(setting.Line, path + " needs the name of a method");
      planned.Method = m_rootTable ? m_rootTable->FindMethod(value.Text) : nullptr;
      if (!planned.Method)
        Fail(setting.Line, m_root->ClassName() + " has no published method " + value.Text + " for " + path);
      if (planned.Method->Signature() != property.EventSignature())
        Fail(setting.Line, "method " + value.Text + " does not fit event " + path);
      return;
    }
    default:
      try {
        planned.Ordinal = OrdinalFromText(property, value);
      } catch (const EPropertyError& error) {
        Fail(setting.Line, error.Message());
      }
    }
  }

  static void PlanPicture(TPlannedSetting& planned)
  {
    const TSettingText& setting = *planned.Source;
    const TPropertyInfo& property = *planned.Property;
    const std::string path = setting.PathText();
    if (setting.Value.Kind != TTextValue::Data)
      Fail(setting.Line, path + " is a picture: write its data in braces");
    const std::optional<std::vector<uint8_t>> data = BytesFromHex(setting.Value.Text);
    if (!data)
      Fail(setting.Line, "the data of " + path + " is not pairs of hexadecimal digits");
    try {
      planned.Picture = PictureFromData(property.ValueClass(), *data);
    } catch (const Exception& error) {
      Fail(setting.Line, path + ": " + error.Message());
    }
  }

  // References may name components whose blocks come later, so they are checked once all are known.
  void CheckReferences()
  {
    for (const TPlannedSetting* planned : m_references) {
      const int line = planned->Source->Line;
      const TClassInfo& needed = planned->Property->ValueClass();
      const std::string& name = planned->Text;
      bool fits = false;
      std::string className;
      if (SameName(name, m_rootName)) {
        fits = needed.IsInstance(m_root);
        className = m_root->ClassName();
      } else if (const TNode* node = FindNode(name)) {
        fits = node->IsA(needed);
        className = node->ClassName();
      } else if (TComponent* existing = m_root->FindComponent(name)) {
        fits = needed.IsInstance(existing);
        className = existing->ClassName();
      } else {
        Fail(line, "no component named " + name + " for " + planned->Source->PathText());
      }
      if (!fits)
        Fail(line, name + " is a " + className + ", not the " + needed.Name() + " that " +
                       planned->Source->PathText() + " needs");
    }
  }

  void Apply(TNode& rootNode)
  {
    m_line = rootNode.Block->Line;
    if (!rootNode.Block->Name.empty() && rootNode.Block->Name != m_root->Name()) {
      m_restores.push_back([root = m_root, name = m_root->Name()] { root->SetName(name); });
      m_root->SetName(rootNode.Block->Name);
    }
    ApplyNode(rootNode);
    for (const TFixup& fixup : m_fixups) {
      m_line = fixup.Line;
      TComponent* target = SameName(fixup.Name, m_rootName) ? m_root : m_root->FindComponent(fixup.Name);
      if (!target)
        Fail(fixup.Line, "no component named " + fixup.Name);
      if (fixup.Restore)
        m_restores.push_back(fixup.Property->Save(fixup.Object));
      fixup.Property->SetReference(fixup.Object, target);
    }
  }

  void ApplyNode(TNode& node)
  {
    m_line = node.Block->Line;
    if (node.Holder) {
      if (node.Existing) {
        node.Component = node.Existing;
      } else {
        node.Component = node.Factory->Create(m_root);
        m_created.push_back(node.Component);
        node.Component->SetName(node.Block->Name);
      }
      StartLoading(node.Component, node.Existing != nullptr);
      Place(node);
    } else {
      StartLoading(node.Component, true);
    }
    for (const TPlannedSetting& setting : node.Settings)
      ApplySetting(node, setting);
    for (const auto& child : node.Children)
      ApplyNode(*child);
  }

  void Place(const TNode& node)
  {
    if (!node.Placement)
      return;
    TComponent* target = node.Block->Unparented ? nullptr : node.Holder->Component;
    TComponent* current = node.Placement->GetContainer(node.Component);
    if (current == target)
      return;
    if (node.Existing)
      m_restores.push_back([placement = node.Placement, component = node.Component, current] {
        placement->Place(component, current);
      });
    node.Placement->Place(node.Component, target);
  }

  void ApplySetting(const TNode& node, const TPlannedSetting& setting)
  {
    m_line = setting.Source->Line;
    TObject* object = node.Component;
    for (const TPropertyInfo* step : setting.Objects) {
      object = step->GetObject(object);
      if (!object)
        Fail(m_line, step->Name() + " is not there to be set");
    }
    const TPropertyInfo& property = *setting.Property;
    if (property.Kind() == TPropertyKind::Reference) {
      m_fixups.push_back({m_line, object, &property, setting.Text, node.Existing != nullptr});
      return;
    }
    // Created components go as a whole when reading fails; only those the root had are put back.
    if (node.Existing)
      m_restores.push_back(Saved(property, object));
    switch (property.Kind()) {
    case TPropertyKind::Picture: SetPicture(property, object, setting.Picture.get()); break;
    case TPropertyKind::String: property.SetString(object, setting.Text); break;
    case TPropertyKind::Event: property.SetEvent(object, m_root, *setting.Method); break;
    default: property.SetOrdinal(object, setting.Ordinal); break;
    }
  }

  static std::function<void()> Saved(const TPropertyInfo& property, TObject* object)
  {
    if (property.Kind() != TPropertyKind::Picture)
      return property.Save(object);
    std::shared_ptr<TPersistent> saved = CopyPicture(property.GetObject(object));
    return [&property, object, saved] { SetPicture(property, object, saved.get()); };
  }

  // Through the setter where there is one; a picture read through its owner only takes the copy itself.
  static void SetPicture(const TPropertyInfo& property, TObject* object, TPersistent* picture)
  {
    if (property.CanSetObject())
      property.SetObject(object, picture);
    else if (TPersistent* owned = property.GetObject(object))
      owned->Assign(picture);
    else
      throw EPropertyError(property.Name() + " is not there to be set");
  }

  void StartLoading(TComponent* component, bool existing)
  {
    if (existing) {
      if (std::function<void()> state = component->SaveState())
        m_states.push_back(std::move(state));
    }
    component->BeginLoading();
    m_loading.push_back(component);
  }

  // Ends the loading of every component that is still there, holders before what they hold.
  void EndLoading()
  {
    std::vector<TComponent*> loading;
    loading.swap(m_loading);
    TComponent::EndLoading(loading);
  }

  void Undo() noexcept
  {
    for (auto it = m_restores.rbegin(); it != m_restores.rend(); ++it) {
      try {
        (*it)();
      } catch (...) {
        // The error that stopped the reading is the one to report; putting back goes on regardless.
      }
    }
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
      m_loading.erase(std::remove(m_loading.begin(), m_loading.end(), *it), m_loading.end());
      delete *it;
    }
    // Newest first: a state saved earlier saw more of the original (a sibling's place before it moved),
    // so it has the last word.
    for (auto it = m_states.rbegin(); it != m_states.rend(); ++it) {
      try {
        (*it)();
      } catch (...) {
        // As above: the next state is still put back.
      }
    }
    m_restores.clear();
    m_created.clear();
    m_states.clear();
  }

  TComponent* m_root;
  const TPublishedClass* m_rootTable;
  std::string m_rootName;
  std::vector<TNode*> m_nodes;
  std::vector<const TPlannedSetting*> m_references;
  std::vector<TFixup> m_fixups;
  std::vector<std::function<void()>> m_restores;
  std::vector<TComponent*> m_created;
  // The states the components the root had saved, in the order they were reached.
  std::vector<std::function<void()>> m_states;
  std::vector<TComponent*> m_loading;
  int m_line = 0;
};

// --- writing ---

class TWriter {
public:
  explicit TWriter(TComponent* root) : m_root(root)
  {
    if (const TPublishedClass* table = FindPublishedClass(root))
      m_methods = table->Methods();
  }

  std::string Write()
  {
    if (!m_root->Name().empty() && !IsIdentifier(m_root->Name()))
      throw EWriteError("The name \"" + m_root->Name() + "\" of the " + m_root->ClassName() +
                        " is not an identifier");
    Collect();
    WriteBlock(m_root, 0);
    return m_text;
  }

private:
  void Collect()
  {
    for (int i = 0; i < m_root->ComponentCount(); ++i) {
      TComponent* component = m_root->Components(i);
      const std::string& name = component->Name();
      if (name.empty())
        continue;
      if (!IsIdentifier(name))
        throw EWriteError("The name \"" + name + "\" of a " + component->ClassName() + " is not an identifier");
      const bool taken = SameName(name, m_root->Name()) ||
                         std::any_of(m_components.begin(), m_components.end(),
                                     [&](const TComponent* known) { return SameName(known->Name(), name); });
      if (taken)
        throw EWriteError("Two components are named " + name);
      m_components.push_back(component);
    }
    for (TComponent* component : m_components)
      m_held[Holder(component)].push_back(component);
    // Where the holder keeps an order of its own (items in a menu), the blocks follow it; the rest keep
    // the owner's order.
    for (auto& [holder, held] : m_held)
      std::stable_sort(held.begin(), held.end(),
                       [](TComponent* a, TComponent* b) { return PositionOf(a) < PositionOf(b); });
  }

  static int PositionOf(TComponent* component)
  {
    const TPlacement* placement =
        PlacementOf(FindPublishedClass(component), dynamic_cast<TControl*>(component) != nullptr);
    return placement && placement->Position ? placement->Position(component) : -1;
  }

  TComponent* Holder(TComponent* component)
  {
    const TPlacement* placement =
        PlacementOf(FindPublishedClass(component), dynamic_cast<TControl*>(component) != nullptr);
    if (!placement)
      return m_root;
    TComponent* container = placement->GetContainer(component);
    if (!container) {
      m_unparented.insert(component);
      return m_root;
    }
    if (container == m_root || Written(container))
      return container;
    throw EWriteError(component->Name() + " sits in " + Shown(container) +
                      ", which is not one of the components of " + RootTitle());
  }

  bool Written(const TComponent* component) const
  {
    return std::find(m_components.begin(), m_components.end(), component) != m_components.end();
  }
  static std::string Shown(const TComponent* component)
  {
    return component->Name().empty() ? "an unnamed " + component->ClassName() : component->Name();
  }
  std::string RootTitle() const
  {
    return m_root->Name().empty() ? "the " + m_root->ClassName() : m_root->Name();
  }

  void WriteBlock(TComponent* component, int depth)
  {
    if (depth > kMaxDepth)
      throw EWriteError(component->Name() + " is nested too deeply");
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    m_text += indent + component->ClassName();
    if (!component->Name().empty())
      m_text += " " + component->Name();
    if (m_unparented.count(component))
      m_text += std::string(" ") + kUnparented;
    m_text += " {\n";
    m_where = component == m_root ? RootTitle() : component->Name();
    WriteProperties(component, std::string(), indent + "  ", 0);
    for (TComponent* held : m_held[component])
      WriteBlock(held, depth + 1);
    m_text += indent + "}\n";
  }

  void Line(const std::string& indent, const std::string& path, const std::string& value)
  {
    m_text += indent + path + " = " + value + "\n";
  }

  void WriteProperties(TObject* object, const std::string& prefix, const std::string& indent, int depth)
  {
    const TPublishedClass* table = FindPublishedClass(object);
    if (!table)
      return;
    for (const TPropertyInfo* property : table->Properties()) {
      const std::string path = prefix + property->Name();
      if (!property->IsStored(object))
        continue;
      switch (property->Kind()) {
      case TPropertyKind::Object:
        if (TPersistent* owned = property->GetObject(object)) {
          if (depth >= kMaxDepth)
            throw EWriteError(m_where + "." + path + " nests objects too deeply");
          WriteProperties(owned, path + ".", indent, depth + 1);
        }
        break;
      case TPropertyKind::Picture:
        WritePicture(property->GetObject(object), path, indent);
        break;
      case TPropertyKind::String:
        if (!property->IsDefault(object))
          Line(indent, path, QuoteString(property->GetString(object)));
        break;
      case TPropertyKind::Reference:
        if (TComponent* component = property->GetReference(object))
          Line(indent, path, ReferenceName(component, path));
        break;
      case TPropertyKind::Event:
        // A handler that is no published method of the root is wiring made at run time; the text
        // cannot name it, and the code that made it makes it again.
        if (const TPublishedMethod* method = MethodOf(object, *property))
          Line(indent, path, method->Name());
        break;
      default:
        if (!property->IsDefault(object)) {
          try {
            Line(indent, path, OrdinalText(*property, property->GetOrdinal(object)));
          } catch (const EPropertyError& error) {
            throw EWriteError(m_where + "." + path + ": " + error.Message());
          }
        }
      }
    }
  }

  void WritePicture(TPersistent* picture, const std::string& path, const std::string& indent)
  {
    std::vector<uint8_t> data;
    try {
      data = PictureData(picture);
    } catch (const Exception& error) {
      throw EWriteError(m_where + "." + path + ": " + error.Message());
    }
    if (!data.empty())
      m_text += indent + path + " = {\n" + HexLines(data, indent + "  ") + indent + "}\n";
  }

  std::string ReferenceName(TComponent* component, const std::string& path) const
  {
    if (component == m_root && !m_root->Name().empty())
      return m_root->Name();
    if (Written(component))
      return component->Name();
    throw EWriteError(m_where + "." + path + " refers to " + Shown(component) +
                      ", which is not one of the components of " + RootTitle());
  }

  const TPublishedMethod* MethodOf(TObject* object, const TPropertyInfo& event) const
  {
    if (!event.EventAssigned(object))
      return nullptr;
    for (const TPublishedMethod* method : m_methods) {
      if (event.EventCalls(object, m_root, *method))
        return method;
    }
    return nullptr;
  }

  TComponent* m_root;
  std::vector<const TPublishedMethod*> m_methods;
  std::vector<TComponent*> m_components;
  std::map<TComponent*, std::vector<TComponent*>> m_held;
  std::set<TComponent*> m_unparented;
  std::string m_where;
  std::string m_text;
};

} // namespace

std::string WriteComponentText(TComponent* root)
{
  if (!root)
    throw EWriteError("There is no component to write");
  return TWriter(root).Write();
}

void ReadComponentText(TComponent* root, const std::string& text)
{
  if (!root)
    throw EReadError("There is no component to read into");
  // A byte-order mark, as editors put at the start of UTF-8 files.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  const std::string_view body =
      std::string_view(text).starts_with(kByteOrderMark) ? std::string_view(text).substr(kByteOrderMark.size()) : text;
  const TBlockText block = TParser(std::string(body)).ParseRoot();
  TReader(root).Read(block);
}
