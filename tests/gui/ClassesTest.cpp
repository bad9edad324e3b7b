#include "Classes.h"

#include "Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <utility>

namespace {

struct TCounter {
  int calls = 0;
  TObject* lastSender = nullptr;
  void OnEvent(TObject* sender)
  {
    ++calls;
    lastSender = sender;
  }
  void OnOther(TObject*) { calls += 100; }
  void Adjust(int& value) { value *= 2; }
  int Twice(int value) const { return 2 * value; }
};

using TAdjustEvent = TClosure<void(int& value)>;

} // namespace

TEST(Closure, EmptyClosureIsNotCalledAndComparesEqualToEmpty)
{
  TNotifyEvent event;
  EXPECT_FALSE(event.Assigned());
  EXPECT_NO_THROW(event(nullptr));
  EXPECT_EQ(event, TNotifyEvent());
  EXPECT_EQ(event, nullptr);
}

TEST(Closure, ComparesObjectAndMethod)
{
  TCounter a, b;
  TNotifyEvent aEvent(&a, &TCounter::OnEvent);
  EXPECT_EQ(aEvent, TNotifyEvent(&a, &TCounter::OnEvent));
  EXPECT_NE(aEvent, TNotifyEvent(&b, &TCounter::OnEvent));
  EXPECT_NE(aEvent, TNotifyEvent(&a, &TCounter::OnOther));
  EXPECT_NE(aEvent, TNotifyEvent());
}

TEST(Closure, SavedHandlerCanBeReplacedCalledAfterTheNewOneAndPutBack)
{
  TCounter original, replacement;
  TNotifyEvent event(&original, &TCounter::OnEvent);
  const TNotifyEvent saved = event;
  event = TNotifyEvent(&replacement, &TCounter::OnEvent);
  TObject sender;
  event(&sender);
  saved(&sender);
  EXPECT_EQ(replacement.calls, 1);
  EXPECT_EQ(original.calls, 1);
  EXPECT_EQ(original.lastSender, &sender);
  event = saved;
  EXPECT_EQ(event, TNotifyEvent(&original, &TCounter::OnEvent));
}

TEST(Closure, ArgumentsByReferenceLetTheHandlerAdjustTheValue)
{
  TCounter counter;
  TAdjustEvent adjust(&counter, &TCounter::Adjust);
  int value = 21;
  adjust(value);
  EXPECT_EQ(value, 42);
  const TCounter constant;
  TClosure<int(int)> twice(&constant, &TCounter::Twice);
  EXPECT_EQ(twice(4), 8);
  EXPECT_EQ(TClosure<int(int)>()(4), 0);
}

namespace {

class TPoint3 : public TPersistent {
public:
  int X = 0;

protected:
  void AssignTo(TPersistent* destination) override
  {
    if (auto* point = dynamic_cast<TPoint3*>(destination)) {
      point->X = X;
      return;
    }
    TPersistent::AssignTo(destination);
  }
};

class TOther : public TPersistent {};

} // namespace

TEST(Persistent, AssignLetsTheSourceCopyItselfAndRejectsOtherClassesAndNothing)
{
  TPoint3 source, destination;
  source.X = 7;
  destination.Assign(&source);
  EXPECT_EQ(destination.X, 7);

  TOther other;
  destination.X = 1;
  EXPECT_THROW(destination.Assign(&other), EInvalidCast);
  EXPECT_THROW(other.Assign(&source), EInvalidCast);
  EXPECT_THROW(destination.Assign(nullptr), EConvertError);
  EXPECT_EQ(destination.X, 1);
  try {
    destination.Assign(nullptr);
  } catch (const EConvertError& e) {
    EXPECT_NE(e.Message().find("TPoint3"), std::string::npos) << e.Message();
  }
}

TEST(Persistent, ClassNameIsTheCppClassName)
{
  TPoint3 point;
  TComponent component(nullptr);
  EXPECT_EQ(point.ClassName(), "TPoint3");
  EXPECT_EQ(component.ClassName(), "TComponent");
  EXPECT_EQ(DemangledClassName("class TMainForm"), "TMainForm");
  EXPECT_EQ(DemangledClassName("9TMainForm"), "TMainForm");
}

namespace {

std::vector<std::string>* g_destroyed = nullptr;

class TTracked : public TComponent {
public:
  TTracked(TComponent* owner, const std::string& name) : TComponent(owner) { SetName(name); }
  ~TTracked() override
  {
    if (g_destroyed)
      g_destroyed->push_back(Name());
  }
};

class TWatcher : public TComponent {
public:
  using TComponent::TComponent;
  std::vector<std::pair<TComponent*, TOperation>> Seen;

protected:
  void Notification(TComponent* component, TOperation operation) override
  {
    Seen.emplace_back(component, operation);
  }
};

} // namespace

TEST(Component, OwnerFreesWhatItOwnsNewestFirstIncludingGrandchildren)
{
  std::vector<std::string> destroyed;
  g_destroyed = &destroyed;
  {
    TTracked owner(nullptr, "owner");
    new TTracked(&owner, "a");
    auto* b = new TTracked(&owner, "b");
    new TTracked(b, "b1");
    new TTracked(&owner, "c");
    EXPECT_EQ(owner.ComponentCount(), 3);
    EXPECT_EQ(owner.FindComponent("B"), b);
    EXPECT_THROW(owner.Components(3), EListError);
  }
  g_destroyed = nullptr;
  EXPECT_EQ(destroyed, (std::vector<std::string>{"owner", "c", "b", "b1", "a"}));
}

TEST(Component, DeletingAnOwnedComponentLeavesItsOwnerAndNotifiesIt)
{
  TWatcher owner(nullptr);
  auto* child = new TComponent(&owner);
  ASSERT_EQ(owner.ComponentCount(), 1);
  delete child;
  EXPECT_EQ(owner.ComponentCount(), 0);
  ASSERT_EQ(owner.Seen.size(), 2u);
  EXPECT_EQ(owner.Seen[0].second, TOperation::opInsert);
  EXPECT_EQ(owner.Seen[1].first, child);
  EXPECT_EQ(owner.Seen[1].second, TOperation::opRemove);
}

TEST(Component, DesignModeReachesOwnedComponentsAndNewOnes)
{
  TComponent owner(nullptr);
  auto* early = new TComponent(&owner);
  owner.SetDesigning(true);
  auto* late = new TComponent(&owner);
  EXPECT_TRUE(early->IsDesigning());
  EXPECT_TRUE(late->IsDesigning());
  owner.SetDesigning(false);
  EXPECT_FALSE(early->IsDesigning());
  EXPECT_EQ(owner.ComponentState() & csDesigning, 0u);
}

namespace {

// Logs the free notifications it gets, by the name of the component that went.
class TListener : public TComponent {
public:
  TListener(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), m_log(log) {}

protected:
  void Notification(TComponent* component, TOperation operation) override
  {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove)
      m_log->push_back(Name() + " heard " + component->Name() + " go");
  }

private:
  std::vector<std::string>* m_log;
};

} // namespace

TEST(Component, FreeNotificationsReachThoseThatAskedWhicheverGoesFirst)
{
  struct TCase {
    const char* name;
    bool listenerFirst;  // the listener goes before the component it listens to
    bool askTwice;
    bool takeBack;
    std::vector<std::string> expected;
  };
  const TCase cases[] = {
      {"component goes first", false, false, false, {"listener heard source go"}},
      {"asked twice, told once", false, true, false, {"listener heard source go"}},
      {"request taken back", false, false, true, {}},
      // The source must not tell a listener that is gone (that would touch freed memory).
      {"listener goes first", true, false, false, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> log;
    auto* source = new TComponent(nullptr);
    source->SetName("source");
    auto* listener = new TListener(nullptr, &log);
    listener->SetName("listener");
    source->FreeNotification(listener);
    if (c.askTwice)
      source->FreeNotification(listener);
    if (c.takeBack)
      source->RemoveFreeNotification(listener);
    if (c.listenerFirst) {
      delete listener;
      delete source;
    } else {
      delete source;
      delete listener;
    }
    EXPECT_EQ(log, c.expected);
  }
}

TEST(Component, FreeNotificationsWorkBothWaysAndForComponentsNotMadeWithNew)
{
  std::vector<std::string> log;
  {
    TListener a(nullptr, &log);
    a.SetName("a");
    TListener b(nullptr, &log);
    b.SetName("b");
    a.FreeNotification(&b);
    b.FreeNotification(&a);
    // b goes first (reverse order of declaration): a hears it, and b is no longer told about a.
  }
  EXPECT_EQ(log, (std::vector<std::string>{"a heard b go"}));

  // A listener that, being told, frees another one still waiting to be told: that one is not told.
  log.clear();
  struct TFreeing : TListener {
    using TListener::TListener;
    TComponent* Victim = nullptr;
    void Notification(TComponent* component, TOperation operation) override
    {
      TListener::Notification(component, operation);
      delete std::exchange(Victim, nullptr);
    }
  };
  auto* source = new TComponent(nullptr);
  auto* first = new TFreeing(nullptr, &log);
  first->Victim = new TListener(nullptr, &log);
  source->SetName("source");
  first->SetName("first");
  source->FreeNotification(first);
  source->FreeNotification(first->Victim);
  delete source;
  delete first;
  EXPECT_EQ(log, (std::vector<std::string>{"first heard source go"}));
}

TEST(Component, ALifeTokenIsNotFooledByANewComponentAtTheFreedAddress)
{
  alignas(TComponent) unsigned char memory[sizeof(TComponent)];
  auto* first = ::new (memory) TComponent(nullptr);
  const TLifeToken firstLife(first);
  EXPECT_TRUE(ComponentLives(firstLife));
  first->~TComponent();
  EXPECT_FALSE(firstLife.Alive());
  EXPECT_FALSE(ComponentLives(firstLife));

  auto* second = ::new (memory) TComponent(nullptr);
  ASSERT_EQ(static_cast<void*>(second), static_cast<void*>(first));
  EXPECT_NE(second->Serial(), firstLife.Serial());
  // By address alone the old component seems to live again; the token knows better.
  EXPECT_TRUE(ComponentLives(first));
  EXPECT_FALSE(ComponentLives(firstLife));
  EXPECT_TRUE(ComponentLives(TLifeToken(second)));
  second->~TComponent();
}

TEST(FileStream, MissingFileRaisesCannotOpenWithThePath)
{
  TTempFile missing(".bin");
  try {
    TFileStream stream(missing.Path());
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + missing.Path());
    EXPECT_EQ(e.FileName(), missing.Path());
  }
}

TEST(FileStream, ReadsSeeksAndReportsItsSize)
{
  TTempFile file(".bin");
  {
    std::ofstream out(file.Path(), std::ios::binary);
    out << "0123456789";
  }
  TFileStream stream(file.Path());
  EXPECT_EQ(stream.Size(), 10);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(stream.Position(), 4);
  EXPECT_EQ(stream.Seek(-2, soEnd), 8);
  EXPECT_EQ(stream.Read(buffer, 8), 2);
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.SetPosition(7);
  EXPECT_THROW(stream.ReadBuffer(buffer, 4), EReadError);
  stream.SetPosition(1);
  stream.ReadBuffer(buffer, 3);
  EXPECT_EQ(std::string(buffer, 3), "123");
}

// A name the ANSI code page cannot spell opens by its wide path; a missing one is named in ANSI ('?' for
// what the code page lacks).
TEST(FileStream, AWidePathOutsideTheAnsiCodePageOpens)
{
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"ko-\u03A9\u6D4B-" + std::to_wstring(GetCurrentProcessId()) + L".bin";
  {
    TKernelHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(out.Valid());
    DWORD written = 0;
    WriteFile(out.Get(), "wide", 4, &written, nullptr);
  }
  {
    TFileStream stream(path);
    char buffer[4] = {};
    EXPECT_EQ(stream.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "wide");
    EXPECT_NE(stream.FileName().find("ko-"), std::string::npos) << stream.FileName();
  }
  ASSERT_TRUE(DeleteFileW(path.c_str()));
  try {
    TFileStream stream(path);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.FileName().find('?'), std::string::npos) << e.FileName();
    EXPECT_EQ(e.FileName().substr(e.FileName().size() - 4), ".bin") << e.FileName();
  }
}

TEST(FileStream, TheFileIsClosedWithTheStreamAndNotBefore)
{
  TTempFile file(".bin");
  {
    std::ofstream out(file.Path(), std::ios::binary);
    out << "data";
  }
  // Opening the file for exclusive use succeeds only while nobody else has it open.
  auto exclusive = [&] {
    TKernelHandle handle(CreateFileA(file.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle.Valid();
  };
  ASSERT_TRUE(exclusive());
  for (unsigned mode : {fmOpenRead, fmShareDenyWrite, fmShareDenyNone, fmShareExclusive}) {
    {
      TFileStream stream(file.Path(), mode);
      EXPECT_NE(stream.Handle(), INVALID_HANDLE_VALUE);
      EXPECT_NE(stream.Handle(), nullptr);
      EXPECT_FALSE(exclusive()) << mode;
    }
    EXPECT_TRUE(exclusive()) << mode;
  }
}
