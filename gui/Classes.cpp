#include "Classes.h"

#include "Published.h"
#include "ReleaseQueue.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <typeinfo>
#include <unordered_map>

std::string DemangledClassName(const char* typeName)
{
  std::string name = typeName ? typeName : "";
  // MSVC: "class TBitmap" / "struct X".
  for (const char* prefix : {"class ", "struct "}) {
    if (name.rfind(prefix, 0) == 0)
      return name.substr(std::strlen(prefix));
  }
  // Itanium ABI: "7TBitmap" at global scope, "N2ns7TBitmapE" inside namespaces; the last part is the class.
  size_t pos = name.size() > 1 && name[0] == 'N' ? 1 : 0;
  std::string last;
  while (pos < name.size() && std::isdigit(static_cast<unsigned char>(name[pos]))) {
    size_t length = 0;
    while (pos < name.size() && std::isdigit(static_cast<unsigned char>(name[pos])))
      length = length * 10 + static_cast<size_t>(name[pos++] - '0');
    if (length > name.size() - pos)
      return name;
    last = name.substr(pos, length);
    pos += length;
  }
  if (!last.empty() && (pos == name.size() || (name[0] == 'N' && name.substr(pos) == "E")))
    return last;
  return name;
}

std::string TObject::ClassName() const
{
  return DemangledClassName(typeid(*this).name());
}

// --- TPersistent ---

void TPersistent::Assign(TPersistent* source)
{
  if (!source)
    throw EConvertError("Cannot assign a null object to a " + ClassName());
  source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* /*destination*/)
{
  throw EInvalidCast();
}

// --- TComponent ---

namespace {

uint64_t NextSerial()
{
  static uint64_t last = 0;
  return ++last;
}

#ifndef NDEBUG
// The live components and their serial numbers. Never freed: components may still go during the
// process's exit, after other statics.
std::unordered_map<const TComponent*, uint64_t>& LiveComponents()
{
  static auto* live = new std::unordered_map<const TComponent*, uint64_t>();
  return *live;
}
#endif

void Erase(std::vector<TComponent*>& list, const TComponent* component)
{
  list.erase(std::remove(list.begin(), list.end(), component), list.end());
}

} // namespace

bool ComponentLives(const TComponent* component)
{
#ifndef NDEBUG
  return LiveComponents().count(component) != 0;
#else
  (void)component;
  return true;
#endif
}

bool ComponentLives(const TLifeToken& life)
{
#ifndef NDEBUG
  const auto& live = LiveComponents();
  const auto it = live.find(life.Component());
  return it != live.end() && it->second == life.Serial();
#else
  (void)life;
  return true;
#endif
}

TLifeToken::TLifeToken(const TComponent* component)
    : m_token(component->FLife), m_component(component), m_serial(component->FSerial)
{
}

TComponent::TComponent(TComponent* owner) : FSerial(NextSerial()), FLife(this, [](const void*) {})
{
#ifndef NDEBUG
  LiveComponents()[this] = FSerial;
#endif
  if (owner)
    owner->InsertComponent(this);
  if (owner && owner->IsDesigning())
    FComponentState |= csDesigning;
}

void TComponent::operator delete(TComponent* component, std::destroying_delete_t)
{
  component->BeforeDestruction();
  // The most-derived object is what new allocated.
  void* const block = dynamic_cast<void*>(component);
  component->~TComponent();
  ::operator delete(block);
}

void TComponent::BeforeDestruction()
{
  Destroying();
  // While the whole object is still there, for those that look at it once more.
  SendFreeNotifications();
}

void TComponent::Destroying()
{
  FComponentState |= csDestroying;
  for (TComponent* component : FComponents)
    component->Destroying();
}

TComponent::~TComponent()
{
  Destroying();
  SendFreeNotifications();
  DestroyComponents();
  if (FOwner)
    FOwner->RemoveComponent(this);
#ifndef NDEBUG
  LiveComponents().erase(this);
#endif
}

TComponent* TComponent::Components(int index) const
{
  if (index < 0 || index >= ComponentCount())
    throw EListError(index);
  return FComponents[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
  if (name.empty())
    return nullptr;
  for (TComponent* component : FComponents) {
    if (lstrcmpiA(component->FName.c_str(), name.c_str()) == 0)
      return component;
  }
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component)
{
  if (!component || component->FOwner == this)
    return;
  if (component->FOwner)
    component->FOwner->RemoveComponent(component);
  FComponents.push_back(component);
  component->FOwner = this;
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it == FComponents.end())
    return;
  FComponents.erase(it);
  component->FOwner = nullptr;
  Notification(component, TOperation::opRemove);
}

void TComponent::DestroyComponents()
{
  while (!FComponents.empty()) {
    TComponent* newest = FComponents.back();
    RemoveComponent(newest);
    delete newest;
  }
}

void TComponent::Release()
{
  ReleaseComponent(this);
}

void TComponent::EndLoading()
{
  EndLoading(std::vector<TComponent*>{this});
}

void TComponent::EndLoading(const std::vector<TComponent*>& components)
{
  std::vector<TLifeToken> lives;
  lives.reserve(components.size());
  for (TComponent* component : components) {
    lives.emplace_back(component);
    component->SetComponentStateFlag(csLoading, false);
  }
  for (size_t i = 0; i < components.size(); ++i) {
    if (lives[i].Alive())
      components[i]->Loaded();
  }
  for (size_t i = 0; i < components.size(); ++i) {
    if (lives[i].Alive())
      components[i]->LoadingDone();
  }
}

void TComponent::SetDesigning(bool designing)
{
  SetComponentStateFlag(csDesigning, designing);
  for (TComponent* component : FComponents)
    component->SetDesigning(designing);
}

void TComponent::Notification(TComponent* /*component*/, TOperation /*operation*/) {}

void TComponent::FreeNotification(TComponent* component)
{
  if (!component || component == this)
    return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) != FFreeNotifies.end())
    return;
  FFreeNotifies.push_back(component);
  component->FNotifiers.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
  if (!component)
    return;
  Erase(FFreeNotifies, component);
  Erase(component->FNotifiers, this);
}

void TComponent::SendFreeNotifications() noexcept
{
  for (TComponent* notifier : FNotifiers)
    Erase(notifier->FFreeNotifies, this);
  FNotifiers.clear();
  // One at a time from the list itself: a notified component may take back its request, or free another
  // one that is waiting here (which then leaves the list).
  while (!FFreeNotifies.empty()) {
    TComponent* const notified = FFreeNotifies.front();
    FFreeNotifies.erase(FFreeNotifies.begin());
    Erase(notified->FNotifiers, this);
    const TLifeToken life(notified);
    notified->Notification(this, TOperation::opRemove);
    // A published reference to this component is dropped even where the class itself does not.
    if (life.Alive())
      ClearPublishedReferences(notified, this);
  }
}

void TComponent::SetComponentStateFlag(TComponentStateFlag flag, bool on)
{
  if (on)
    FComponentState |= flag;
  else
    FComponentState &= ~static_cast<unsigned>(flag);
}

// --- streams ---

void TStream::ReadBuffer(void* buffer, long count)
{
  if (count != 0 && Read(buffer, count) != count)
    throw EReadError("Stream read error");
}

int64_t TStream::Size()
{
  const int64_t position = Seek(0, soCurrent);
  const int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

long TBytesStream::Read(void* buffer, long count)
{
  const int64_t left = static_cast<int64_t>(FBytes.size()) - FPosition;
  const long n = static_cast<long>(std::max<int64_t>(0, std::min<int64_t>(count, left)));
  if (n > 0)
    std::memcpy(buffer, FBytes.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TBytesStream::Seek(int64_t offset, TSeekOrigin origin)
{
  const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FPosition : int64_t(FBytes.size());
  FPosition = std::max<int64_t>(0, base + offset);
  return FPosition;
}

namespace {

DWORD ShareOf(unsigned mode)
{
  if (mode & fmShareExclusive)
    return 0;
  if (mode & fmShareDenyWrite)
    return FILE_SHARE_READ;
  return FILE_SHARE_READ | FILE_SHARE_WRITE;
}

std::string AnsiOf(const std::wstring& text)
{
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(length > 0 ? length : 0), '\0');
  if (length > 0)
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), length, nullptr, nullptr);
  return ansi;
}

} // namespace

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FFileName(fileName)
{
  FHandle.Reset(CreateFileA(fileName.c_str(), GENERIC_READ, ShareOf(mode), nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!FHandle)
    throw EFOpenError(fileName);
}

TFileStream::TFileStream(const std::wstring& fileName, unsigned mode) : FFileName(AnsiOf(fileName))
{
  FHandle.Reset(CreateFileW(fileName.c_str(), GENERIC_READ, ShareOf(mode), nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!FHandle)
    throw EFOpenError(FFileName);
}

long TFileStream::Read(void* buffer, long count)
{
  if (count <= 0)
    return 0;
  DWORD read = 0;
  if (!ReadFile(FHandle.Get(), buffer, static_cast<DWORD>(count), &read, nullptr))
    return 0;
  return static_cast<long>(read);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  const DWORD method = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(FHandle.Get(), distance, &position, method))
    return -1;
  return position.QuadPart;
}

int64_t TFileStream::Size()
{
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(FHandle.Get(), &size))
    return -1;
  return size.QuadPart;
}
