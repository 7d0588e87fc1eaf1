#include "platform/typelib/typelib.h"

#include "platform/oleauto/ScopedBstr.h"
#include "platform/registry/winreg.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

inline constexpr IID IID_ICounter = plat::MakeGuid("5B0D2E11-7C3A-4F57-9E21-3A8D6C4B1F02");

struct ICounter : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Count(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Label(BSTR prefix, LONG n, BSTR* text) = 0;
};

const plat::ParamDesc kGetCount[] = {{u"pVal", VT_I4, plat::ParamDir::Out}};
const plat::ParamDesc kPutCount[] = {{u"newVal", VT_I4, plat::ParamDir::In}};
const plat::ParamDesc kLabel[] = {
    {u"prefix", VT_BSTR, plat::ParamDir::In},
    {u"n", VT_I4, plat::ParamDir::In},
    {u"text", VT_BSTR, plat::ParamDir::Out},
};
const plat::MemberDesc kMembers[] = {
    {u"Count", 1, plat::MemberKind::PropertyGet, kGetCount,
     [](void* self, VARIANT* a) { return static_cast<ICounter*>(self)->get_Count(&a[0].lVal); }},
    {u"Count", 1, plat::MemberKind::PropertyPut, kPutCount,
     [](void* self, VARIANT* a) { return static_cast<ICounter*>(self)->put_Count(a[0].lVal); }},
    {u"Label", 2, plat::MemberKind::Method, kLabel,
     [](void* self, VARIANT* a) {
         return static_cast<ICounter*>(self)->Label(a[0].bstrVal, a[1].lVal, &a[2].bstrVal);
     }},
};
const plat::InterfaceDesc kCounterDesc{u"ICounter", IID_ICounter, kMembers};

plat::TypeInfo& CounterInfo()
{
    static plat::TypeInfo info(kCounterDesc);
    return info;
}

// Lives on the stack; reference counting is not under test here.
class Counter final : public plat::DispatchImpl<ICounter> {
public:
    Counter() : DispatchImpl(CounterInfo()) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) override
    {
        *pVal = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Count(LONG newVal) override
    {
        if (newVal < 0)
            return E_INVALIDARG;
        count = newVal;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Label(BSTR prefix, LONG n, BSTR* text) override
    {
        std::u16string s = prefix ? prefix : u"";
        s += static_cast<char16_t>(u'0' + n);
        *text = SysAllocString(s.c_str());
        return S_OK;
    }
    LONG count = 0;
};

VARIANT I4(LONG v)
{
    VARIANT var;
    VariantInit(&var);
    var.vt = VT_I4;
    var.lVal = v;
    return var;
}

HRESULT Put(IDispatch* d, DISPID id, VARIANT value)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

TEST(TypeInfo, GetTypeInfoAnswersIndexZeroOnly)
{
    Counter counter;
    UINT count = 0;
    EXPECT_EQ(counter.GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(counter.GetTypeInfoCount(nullptr), E_POINTER);

    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(counter.GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(counter.GetTypeInfo(0, 0, nullptr), E_POINTER);
    ASSERT_EQ(counter.GetTypeInfo(0, 0, &info), S_OK);
    GUID iid{};
    EXPECT_EQ(info->GetGuid(&iid), S_OK);
    EXPECT_EQ(iid, IID_ICounter);
    BSTR name = nullptr;
    EXPECT_EQ(info->GetDocumentation(2, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(std::u16string(name), u"Label");
    SysFreeString(name);
    EXPECT_EQ(info->GetDocumentation(99, &name, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
    info->Release();
}

TEST(TypeInfo, NamesAreFoundWithoutRegardToCase)
{
    Counter counter;
    struct Case {
        std::vector<const WCHAR*> names;
        HRESULT hr;
        std::vector<DISPID> ids;
    };
    const Case cases[] = {
        {{u"count"}, S_OK, {1}},
        {{u"LABEL", u"N", u"prefix"}, S_OK, {2, 1, 0}},
        {{u"Label", u"nope"}, DISP_E_UNKNOWNNAME, {2, DISPID_UNKNOWN}},
        {{u"Missing"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
    };
    for (const Case& c : cases) {
        std::vector<LPOLESTR> names;
        for (const WCHAR* n : c.names)
            names.push_back(const_cast<LPOLESTR>(n));
        std::vector<DISPID> ids(names.size(), 12345);
        EXPECT_EQ(counter.GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0, ids.data()), c.hr);
        EXPECT_EQ(ids, c.ids);
    }
    LPOLESTR one = const_cast<LPOLESTR>(u"Count");
    DISPID id = 0;
    EXPECT_EQ(counter.GetIDsOfNames(IID_ICounter, &one, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

TEST(TypeInfo, InvokeConvertsArgumentsAndResults)
{
    Counter counter;
    // A put with a narrower integer type is widened.
    VARIANT small;
    VariantInit(&small);
    small.vt = VT_I2;
    small.iVal = 7;
    EXPECT_EQ(Put(&counter, 1, small), S_OK);
    EXPECT_EQ(counter.count, 7);

    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(counter.Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 7);

    // A method: arguments arrive last first; the left-off Out is the result.
    plat::ScopedBstr prefix(u"page");
    VARIANT args[2];
    args[1].vt = VT_BSTR;
    args[1].bstrVal = prefix.Get();
    args[0] = I4(3);
    DISPPARAMS params{args, nullptr, 2, 0};
    EXPECT_EQ(counter.Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result.bstrVal), u"page3");
    VariantClear(&result);

    // The Out given by reference is written there instead.
    BSTR out = nullptr;
    VARIANT three[3];
    three[2] = args[1];
    three[1] = I4(4);
    three[0].vt = VT_BSTR | VT_BYREF;
    three[0].pbstrVal = &out;
    DISPPARAMS withOut{three, nullptr, 3, 0};
    EXPECT_EQ(counter.Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &withOut, nullptr, nullptr, nullptr), S_OK);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::u16string(out), u"page4");
    SysFreeString(out);
}

TEST(TypeInfo, InvokeRefusesBadCalls)
{
    Counter counter;
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = nullptr;
    VARIANT one = I4(1);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    DISPPARAMS oneArg{&one, nullptr, 1, 0};
    VARIANT mismatched[2] = {I4(1), I4(2)}; // the prefix should be a string
    DISPPARAMS badType{mismatched, nullptr, 2, 0};

    struct Case {
        const char* what;
        DISPID id;
        WORD flags;
        DISPPARAMS* params;
        HRESULT hr;
    };
    const Case cases[] = {
        {"unknown member", 9, DISPATCH_METHOD, &none, DISP_E_MEMBERNOTFOUND},
        {"too few arguments", 2, DISPATCH_METHOD, &oneArg, DISP_E_BADPARAMCOUNT},
        {"argument of the wrong type", 2, DISPATCH_METHOD, &badType, DISP_E_TYPEMISMATCH},
        {"get with an argument too many", 1, DISPATCH_PROPERTYGET, &badType, DISP_E_BADPARAMCOUNT},
        {"put without the named value", 1, DISPATCH_PROPERTYPUT, &oneArg, DISP_E_PARAMNOTOPTIONAL},
    };
    for (const Case& c : cases) {
        UINT argErr = 99;
        EXPECT_EQ(counter.Invoke(c.id, IID_NULL, 0, c.flags, c.params, nullptr, nullptr, &argErr), c.hr) << c.what;
    }
    UINT argErr = 99;
    counter.Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &badType, nullptr, nullptr, &argErr);
    EXPECT_EQ(argErr, 1u); // the first declared parameter, counted from the end

    // A failing member comes back as an exception carrying its code.
    EXCEPINFO info{};
    DISPID named = DISPID_PROPERTYPUT;
    VARIANT negative = I4(-1);
    DISPPARAMS put{&negative, &named, 1, 1};
    EXPECT_EQ(counter.Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, &info, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, E_INVALIDARG);
    EXPECT_EQ(counter.count, 0);
}

std::u16string ReadString(const WCHAR* key, const WCHAR* value)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return u"<missing>";
    WCHAR buffer[512] = {};
    DWORD size = sizeof buffer - sizeof(WCHAR);
    LONG rc = RegQueryValueExW(h, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS ? std::u16string(buffer) : u"<missing>";
}

bool KeyExists(const WCHAR* key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

TEST(TypeLibRegistration, WritesAndRemovesTheVersionKey)
{
    plat::testing::TempSystemRoot root;
    const plat::InterfaceDesc* interfaces[] = {&kCounterDesc};
    const plat::TypeLibraryDesc lib{u"CounterLib",
                                    u"Counter 2.1 Type Library",
                                    plat::MakeGuid("5B0D2E12-7C3A-4F57-9E21-3A8D6C4B1F02"),
                                    2,
                                    1,
                                    interfaces,
                                    {}};
    ASSERT_EQ(plat::RegisterTypeLibrary(lib, u"/opt/lib/counter.so"), S_OK);
    const WCHAR* version = u"TypeLib\\{5B0D2E12-7C3A-4F57-9E21-3A8D6C4B1F02}\\2.1";
    EXPECT_EQ(ReadString(version, nullptr), u"Counter 2.1 Type Library");
    std::u16string win = std::u16string(version) + (sizeof(void*) == 8 ? u"\\0\\win64" : u"\\0\\win32");
    EXPECT_EQ(ReadString(win.c_str(), nullptr), u"/opt/lib/counter.so");
    EXPECT_EQ(ReadString(version, nullptr), u"Counter 2.1 Type Library");
    EXPECT_EQ(ReadString((std::u16string(version) + u"\\FLAGS").c_str(), nullptr), u"0");
    EXPECT_EQ(ReadString((std::u16string(version) + u"\\HELPDIR").c_str(), nullptr), u"/opt/lib");

    ASSERT_EQ(plat::UnregisterTypeLibrary(lib), S_OK);
    EXPECT_FALSE(KeyExists(u"TypeLib\\{5B0D2E12-7C3A-4F57-9E21-3A8D6C4B1F02}"));
    EXPECT_TRUE(KeyExists(u"TypeLib"));
    EXPECT_EQ(plat::RegisterTypeLibrary(lib, nullptr), E_INVALIDARG);
}

} // namespace
