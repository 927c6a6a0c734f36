// Named stores at module stop: a store that holds objects keeps the module loaded, and a
// module unloaded while its process goes on gives those objects up without releasing them,
// so no foreign code runs while it is unloaded; every other item is released as usual.
#include "counting_object.h"
#include "member_calls.h"
#include "members/items.h"
#include "share/named_store_registry.h"

namespace korvo::testing {
namespace {

VARIANT ObjectItem(CountingObject& object)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_DISPATCH;
    V_DISPATCH(&item) = &object;
    return item;
}

TEST(ModuleStop, OnlyObjectItemsKeepTheModule)
{
    CountingObject held;
    ObjectState object;
    ConnectOk(object, UniqueStoreName(u"stop-holds"));
    AddOk(object, u"text", 1);
    EXPECT_FALSE(NamedStoresHoldObjects());
    AddOk(object, u"object", ObjectItem(held));
    EXPECT_TRUE(NamedStoresHoldObjects());

    // Replacing the object with a number lets the module go again.
    Var number(2);
    ASSERT_EQ(members::PutItem(object, Bstr(u"object"), number.get()), S_OK);
    EXPECT_FALSE(NamedStoresHoldObjects());
    AddOk(object, u"again", ObjectItem(held));
    RemoveOk(object, u"again");
    EXPECT_FALSE(NamedStoresHoldObjects());
    EXPECT_EQ(held.references(), 1u);

    // A private store's objects go with their object: they never keep the module.
    ObjectState privateStore;
    AddOk(privateStore, u"object", ObjectItem(held));
    EXPECT_FALSE(NamedStoresHoldObjects());
}

TEST(ModuleStop, UnloadGivesObjectsUpAndReleasesTheRest)
{
    CountingObject held;
    CountingObject alsoHeld;
    {
        ObjectState object;
        ConnectOk(object, UniqueStoreName(u"stop-abandon"));
        AddOk(object, u"object", ObjectItem(held));
        AddText(object, u"text", u"released as usual");
    }
    {
        ObjectState other;
        ConnectOk(other, UniqueStoreName(u"stop-destroy"));
        AddOk(other, u"object", ObjectItem(alsoHeld));
    }
    ASSERT_EQ(held.references(), 2u);

    StopNamedStoreRegistry(true);
    EXPECT_EQ(held.references(), 2u) << "no release ran while the module stopped";
    EXPECT_EQ(alsoHeld.references(), 2u);
    ASSERT_TRUE(StartNamedStoreRegistry());

    // A plain stop releases everything.
    {
        ObjectState object;
        ConnectOk(object, UniqueStoreName(u"stop-plain"));
        AddOk(object, u"object", ObjectItem(held));
    }
    EXPECT_EQ(held.references(), 3u);
    StopNamedStoreRegistry();
    EXPECT_EQ(held.references(), 2u);
    ASSERT_TRUE(StartNamedStoreRegistry());
}

} // namespace
} // namespace korvo::testing
