// The class object behind DllGetClassObject, through the DLL's own exports: identity, the
// classes it refuses, aggregation, and the lock count DllCanUnloadNow reads.
#include <gtest/gtest.h>
#include <windows.h>
#include <shobjidl.h>

#include "support/test_env.h"

namespace {

const CLSID kPelorband = {0x408EA957, 0xCF17, 0x4D81, {0x93, 0xAB, 0xFD, 0xDA, 0x7A, 0xCD, 0xA9, 0x0F}};
const CLSID kOtherClasses[] = {
    {0xBC3E6E08, 0x329F, 0x415D, {0xA3, 0x16, 0x8B, 0x32, 0x6C, 0x94, 0xE4, 0xA8}},
    {0xCC197F69, 0xC4ED, 0x44FD, {0x99, 0x9B, 0x89, 0x01, 0xBC, 0xF7, 0x6A, 0x42}},
    {0x42785314, 0x1904, 0x43E5, {0x8F, 0x23, 0xCB, 0x47, 0x0F, 0xBD, 0x66, 0x61}},
};

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

class ClassObject : public ::testing::Test {
protected:
    void SetUp() override {
        dll_ = LoadLibraryA(DllPath().c_str());
        ASSERT_NE(dll_, nullptr);
        getClassObject_ = reinterpret_cast<GetClassObjectFn>(GetProcAddress(dll_, "DllGetClassObject"));
        canUnload_ = reinterpret_cast<CanUnloadFn>(GetProcAddress(dll_, "DllCanUnloadNow"));
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnload_, nullptr);
        ASSERT_EQ(canUnload_(), S_OK);
    }
    void TearDown() override {
        // Everything a test made is gone again.
        EXPECT_EQ(canUnload_(), S_OK);
        FreeLibrary(dll_);
    }
    IClassFactory* Factory() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(getClassObject_(kPelorband, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        return factory;
    }
    HMODULE dll_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadFn canUnload_ = nullptr;
};

TEST_F(ClassObject, IsOneObjectAndCountsWhileHeldOutside) {
    IClassFactory* first = Factory();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(canUnload_(), S_FALSE);
    IUnknown* second = nullptr;
    ASSERT_EQ(getClassObject_(kPelorband, IID_IUnknown, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first), second);
    second->Release();
    EXPECT_EQ(canUnload_(), S_FALSE);  // the first reference still holds it
    IMarshal* marshal = reinterpret_cast<IMarshal*>(1);
    EXPECT_EQ(first->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), E_NOINTERFACE);
    EXPECT_EQ(marshal, nullptr);
    first->Release();
    EXPECT_EQ(canUnload_(), S_OK);
}

TEST_F(ClassObject, RefusesOtherClassesANullOutPointerAndOtherInterfaces) {
    for (const CLSID& other : kOtherClasses) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(getClassObject_(other, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(getClassObject_(kPelorband, IID_IClassFactory, nullptr), E_POINTER);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(kPelorband, IID_IDeskBand, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ClassObject, CreatesBandsAndRefusesBadRequests) {
    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, nullptr), E_POINTER);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    IDeskBand* band = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDeskBand, reinterpret_cast<void**>(&band)), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload_(), S_FALSE);  // the band alone keeps the module
    EXPECT_EQ(band->Release(), 0u);
}

TEST_F(ClassObject, LockServerHoldsTheModule) {
    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload_(), S_FALSE);
    factory = Factory();
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
}

// An outer object that aggregates a band: it forwards what it does not know itself to the
// band's inner unknown and counts every reference taken through any face.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        ++queries;
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    IUnknown* inner = nullptr;
    ULONG refs = 1;
    int queries = 0;
};

TEST_F(ClassObject, AggregatedBandDelegatesEveryFaceToItsOuterObject) {
    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    Outer outer;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IClassFactory, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IDeskBand, &object), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload_(), S_FALSE);

    // The inner unknown answers IUnknown with itself, not with a face.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, outer.inner);
    EXPECT_EQ(innerAgain->Release(), 1u);

    // A face got through the outer object: its count and its queries go to the outer object.
    IDeskBand* band = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&band)), S_OK);
    EXPECT_EQ(outer.refs, 2u);  // the inner unknown added its reference through the outer object
    band->AddRef();
    EXPECT_EQ(outer.refs, 3u);
    band->Release();
    int queriesBefore = outer.queries;
    IUnknown* identity = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    EXPECT_EQ(outer.queries, queriesBefore + 1);
    identity->Release();
    IInputObject* input = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input)), S_OK);
    IObjectWithSite* withSite = nullptr;
    ASSERT_EQ(input->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)), S_OK);
    EXPECT_EQ(outer.refs, 4u);
    withSite->Release();
    input->Release();
    band->Release();
    EXPECT_EQ(outer.refs, 1u);

    EXPECT_EQ(outer.inner->Release(), 0u);
}

}  // namespace
