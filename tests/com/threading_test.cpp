// One interface pointer used directly from a thread of the multithreaded apartment.
#include "korvod_client.h"

#include <thread>

#include "errors/identifiers.h"

namespace korvo::test {
namespace {

class ThreadingTest : public ComTest {};

TEST_F(ThreadingTest, PointerFromTheSingleThreadedApartmentWorksInTheMultithreadedOne)
{
    auto dictionary = NewDictionary();
    ASSERT_TRUE(dictionary);
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(kIidIDictionary, dictionary.get(), &stream), S_OK);

    HRESULT added = E_FAIL;
    bool samePointer = false;
    std::thread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            // The free-threaded marshaller hands the same pointer to the other apartment.
            ComPtr<IDictionary> unmarshalled;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, kIidIDictionary, unmarshalled.PutVoid()))) {
                samePointer = unmarshalled.get() == dictionary.get();
            }
            Text key(L"from MTA");
            VARIANT item;
            VariantInit(&item);
            V_VT(&item) = VT_I4;
            V_I4(&item) = 42;
            added = dictionary->Add(key, &item);
        }
        CoUninitialize();
    });
    worker.join();

    EXPECT_TRUE(samePointer);
    EXPECT_EQ(added, S_OK);
    Text key(L"from MTA");
    VARIANT_BOOL exists = VARIANT_FALSE;
    ASSERT_EQ(dictionary->Exists(key, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_TRUE);
}

TEST_F(ThreadingTest, ManyThreadsAddToOneObject)
{
    auto dictionary = NewDictionary();
    ASSERT_EQ(dictionary->put_UniqueKeys(VARIANT_FALSE), S_OK);
    constexpr int kThreads = 4;
    constexpr int kAdds = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&dictionary] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            Text key(L"shared");
            VARIANT item;
            VariantInit(&item);
            for (int i = 0; i < kAdds; ++i) {
                dictionary->Add(key, &item);
            }
            CoUninitialize();
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    LONG count = 0;
    ASSERT_EQ(dictionary->get_ItemsCount(&count), S_OK);
    EXPECT_EQ(count, kThreads * kAdds);
}

} // namespace
} // namespace korvo::test
