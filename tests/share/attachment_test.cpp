// Binding objects to private and named stores: the attachment state machine.
#include <string>
#include <thread>

#include "member_calls.h"
#include "members/items.h"
#include "members/sharing.h"

namespace korvo::testing {
namespace {

// Names unique to this test process, so named stores of one test don't leak into another.
std::u16string UniqueName(const char16_t* base)
{
    static int counter = 0;
    std::u16string name = u"attach-";
    name += base;
    name += u'-';
    for (char c : std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter)) {
        name += static_cast<char16_t>(c);
    }
    return name;
}

HRESULT ConnectTo(ObjectState& object, const std::u16string& name)
{
    Bstr dictionary(name);
    Bstr server(u"anything");
    return members::Connect(object, dictionary, server);
}

LONG RefCount(ObjectState& object)
{
    LONG count = -1;
    EXPECT_EQ(members::RefCounter(object, &count), S_OK);
    return count;
}

TEST(Attachment, ObjectsThatNeverConnectShareNothing)
{
    ObjectState first;
    ObjectState second;
    AddOk(first, u"a", 1);
    EXPECT_EQ(ItemsCountOf(second), 0);
    EXPECT_EQ(RefCount(first), 1);
}

TEST(Attachment, TwoObjectsOnOneNameShareEntries)
{
    const auto name = UniqueName(u"shared");
    ObjectState first;
    ObjectState second;
    ASSERT_EQ(ConnectTo(first, name), S_OK);
    ASSERT_EQ(ConnectTo(second, name), S_OK);
    AddOk(first, u"k", 5);
    EXPECT_EQ(ItemsOf(second), (std::vector<LONG>{5}));
    EXPECT_EQ(RefCount(first), 2);
    EXPECT_EQ(RefCount(second), 2);
}

TEST(Attachment, NamesMatchCaseSensitivelyAndEndAtNul)
{
    const auto name = UniqueName(u"Cart");
    auto lower = name;
    lower[7] = u'c';
    ObjectState upperObject;
    ObjectState lowerObject;
    ObjectState nulObject;
    ASSERT_EQ(ConnectTo(upperObject, name), S_OK);
    ASSERT_EQ(ConnectTo(lowerObject, lower), S_OK);
    ASSERT_EQ(ConnectTo(nulObject, name + std::u16string(u"\0tail", 5)), S_OK);
    AddOk(upperObject, u"k", 1);
    EXPECT_EQ(ItemsCountOf(lowerObject), 0);
    EXPECT_EQ(ItemsCountOf(nulObject), 1);
}

TEST(Attachment, ConnectingDropsThePrivateStoreAndItsEntries)
{
    const auto name = UniqueName(u"fresh");
    ObjectState object;
    AddOk(object, u"private", 1);
    ASSERT_EQ(ConnectTo(object, name), S_OK);
    EXPECT_EQ(ItemsCountOf(object), 0);
    ASSERT_EQ(members::Connect(object, nullptr, nullptr), S_OK) << "a null name gives a new private store";
    EXPECT_EQ(ItemsCountOf(object), 0);
}

TEST(Attachment, NamedStoreOutlivesItsObjects)
{
    const auto name = UniqueName(u"lasting");
    {
        ObjectState object;
        ASSERT_EQ(ConnectTo(object, name), S_OK);
        AddOk(object, u"k", 1);
    }
    ObjectState later;
    ASSERT_EQ(ConnectTo(later, name), S_OK);
    EXPECT_EQ(ItemsOf(later), (std::vector<LONG>{1}));
    EXPECT_EQ(RefCount(later), 1);
}

TEST(Attachment, DisConnectLeavesTheNamedStoreToTheOthers)
{
    const auto name = UniqueName(u"leave");
    ObjectState leaving;
    ObjectState staying;
    ASSERT_EQ(ConnectTo(leaving, name), S_OK);
    ASSERT_EQ(ConnectTo(staying, name), S_OK);
    AddOk(leaving, u"k", 1);
    ClearErrorRecord();
    ASSERT_EQ(members::DisConnect(leaving), S_OK);
    EXPECT_EQ(ItemsCountOf(leaving), 0);
    EXPECT_EQ(ItemsCountOf(staying), 1);
    EXPECT_EQ(RefCount(staying), 1);
    EXPECT_EQ(RefCount(leaving), 1);

    // On a private store DisConnect starts afresh, succeeds and leaves no record.
    AddOk(leaving, u"p", 2);
    EXPECT_EQ(members::DisConnect(leaving), S_OK);
    EXPECT_EQ(ItemsCountOf(leaving), 0);
    EXPECT_FALSE(TakeErrorRecord().present);
}

TEST(Attachment, ConnectTwiceToOneNameChangesNothing)
{
    const auto name = UniqueName(u"twice");
    ObjectState object;
    ASSERT_EQ(ConnectTo(object, name), S_OK);
    AddOk(object, u"k", 1);
    ASSERT_EQ(ConnectTo(object, name), S_OK);
    EXPECT_EQ(ItemsOf(object), (std::vector<LONG>{1}));
    EXPECT_EQ(RefCount(object), 1);
}

TEST(Attachment, EmptyNameIsAStoreName)
{
    ObjectState first;
    ObjectState second;
    Bstr empty(u"");
    ASSERT_EQ(members::Connect(first, empty, nullptr), S_OK);
    ASSERT_EQ(members::Connect(second, empty, nullptr), S_OK);
    Bstr key(UniqueName(u"key"));
    Var item(3);
    ASSERT_EQ(members::Add(first, key, item.get()), S_OK);
    LONG count = 0;
    ASSERT_EQ(members::Count(second, key, &count), S_OK);
    EXPECT_EQ(count, 1);
}

TEST(Attachment, DebugInfoNamesProcessAndThread)
{
    ObjectState object;
    Bstr info;
    ASSERT_EQ(members::DebugInfo(object, info.out()), S_OK);
    const std::u16string text = ToU16(static_cast<BSTR>(info));
    EXPECT_EQ(text.rfind(u"<br>Process:ffffffff, Thread:fffffffe, ProcessId:", 0), 0u);
    Bstr otherThread;
    std::thread([&] { EXPECT_EQ(members::DebugInfo(object, otherThread.out()), S_OK); }).join();
    EXPECT_NE(ToU16(static_cast<BSTR>(otherThread)), text) << "the ThreadID part differs";
    EXPECT_EQ(members::DebugInfo(object, nullptr), E_POINTER);
    EXPECT_EQ(members::RefCounter(object, nullptr), E_POINTER);
}

} // namespace
} // namespace korvo::testing
