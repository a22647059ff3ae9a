// The class object and the module lock, called through the DLL's exports as COM calls them.
#include <windows.h>

#include <gtest/gtest.h>

#include "com/com_ptr.h"
#include "MrvRS232.h"
#include "server_test_support.h"

namespace mrv::test {
namespace {

// {7E2D4B8C-3C15-4A6E-9F30-1D2E3F4A5B6C} and {9c4e2f13-5d26-4b7f-a041-2e3f4a5b6c7d}: classes
// whose registry scripts the DLL carries but does not serve.
const CLSID kTestUtilClsid = {
    0x7E2D4B8C, 0x3C15, 0x4A6E, {0x9F, 0x30, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B, 0x6C}};
const CLSID kSimulateClsid = {
    0x9c4e2f13, 0x5d26, 0x4b7f, {0xa0, 0x41, 0x2e, 0x3f, 0x4a, 0x5b, 0x6c, 0x7d}};
void* const kPoison = reinterpret_cast<void*>(0xdeadbeef);

class ClassObject : public ::testing::Test {
protected:
    com_init com;
    server_dll dll;

    com_ptr<IClassFactory> factory()
    {
        com_ptr<IClassFactory> f;
        EXPECT_EQ(S_OK, dll.get_class_object(CLSID_RS232Svr, IID_IClassFactory, f.put_void()));
        return f;
    }
};

TEST_F(ClassObject, IsCreatedOnceAndCached)
{
    auto first = factory();
    auto second = factory();
    ASSERT_TRUE(first);
    EXPECT_EQ(first.get(), second.get());
    com_ptr<IUnknown> unknown;
    EXPECT_EQ(S_OK, dll.get_class_object(CLSID_RS232Svr, IID_IUnknown, unknown.put_void()));
    EXPECT_EQ(static_cast<IUnknown*>(first.get()), unknown.get());

    void* out = kPoison;
    EXPECT_EQ(E_NOINTERFACE, dll.get_class_object(CLSID_RS232Svr, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, dll.get_class_object(CLSID_RS232Svr, IID_IClassFactory, nullptr));
}

TEST_F(ClassObject, OtherClassesAreNotAvailable)
{
    for (const CLSID* clsid : {&kTestUtilClsid, &kSimulateClsid, &LIBID_MorvaneRS232Lib,
                               &IID_IControlSimulation, &CLSID_NULL}) {
        void* out = kPoison;
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, dll.get_class_object(*clsid, IID_IClassFactory, &out));
        EXPECT_EQ(nullptr, out);
    }
}

TEST_F(ClassObject, CreateInstanceRefusesAggregationAndBadArguments)
{
    auto f = factory();
    ASSERT_TRUE(f);
    com_ptr<IUnknown> outer;
    ASSERT_EQ(S_OK, f->CreateInstance(nullptr, IID_IUnknown, outer.put_void()));

    void* out = kPoison;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, f->CreateInstance(outer.get(), IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, f->CreateInstance(nullptr, IID_IUnknown, nullptr));
    out = kPoison;
    EXPECT_EQ(E_NOINTERFACE, f->CreateInstance(nullptr, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);

    com_ptr<ISerial> serial;
    EXPECT_EQ(S_OK, f->CreateInstance(nullptr, IID_ISerial, serial.put_void()));
    EXPECT_TRUE(serial);
}

TEST_F(ClassObject, CanUnloadOnlyWithoutObjectsLocksOrFactoryReferences)
{
    EXPECT_EQ(S_OK, dll.can_unload_now());
    {
        // A client's reference to the class object keeps the DLL; the module's cache does not.
        auto f = factory();
        EXPECT_EQ(S_FALSE, dll.can_unload_now());
        com_ptr<IUnknown> session;
        ASSERT_EQ(S_OK, f->CreateInstance(nullptr, IID_IUnknown, session.put_void()));
        f.reset();
        EXPECT_EQ(S_FALSE, dll.can_unload_now());
        session.reset();
        EXPECT_EQ(S_OK, dll.can_unload_now());
    }
    auto f = factory();
    EXPECT_EQ(S_OK, f->LockServer(TRUE));
    f.reset();
    EXPECT_EQ(S_FALSE, dll.can_unload_now());
    f = factory();
    EXPECT_EQ(S_OK, f->LockServer(FALSE));
    f.reset();
    EXPECT_EQ(S_OK, dll.can_unload_now());
}

}  // namespace
}  // namespace mrv::test
