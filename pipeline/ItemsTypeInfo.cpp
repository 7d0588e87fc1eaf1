// Description of the collection interface IItems.
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/TypeLibrary.h"

namespace {

using plat::MemberKind;
using plat::ParamDir;

IItems* Items(void* self) { return static_cast<IItems*>(self); }

const plat::ParamDesc kNewEnum[] = {{u"ppUnk", VT_UNKNOWN, ParamDir::Out}};
const plat::ParamDesc kItem[] = {{u"Index", VT_I4, ParamDir::In}, {u"ppItem", VT_DISPATCH, ParamDir::Out}};
const plat::ParamDesc kCount[] = {{u"pVal", VT_I4, ParamDir::Out}};
const plat::ParamDesc kAdd[] = {{u"Item", VT_DISPATCH, ParamDir::In}};
const plat::ParamDesc kRemove[] = {{u"Index", VT_I4, ParamDir::In}};

const plat::MemberDesc kItemsMembers[] = {
    {u"_NewEnum", DISPID_NEWENUM, MemberKind::PropertyGet, kNewEnum,
     [](void* s, VARIANT* a) { return Items(s)->get__NewEnum(&a[0].punkVal); }},
    {u"Item", DISPID_VALUE, MemberKind::PropertyGet, kItem,
     [](void* s, VARIANT* a) { return Items(s)->get_Item(a[0].lVal, &a[1].pdispVal); }},
    {u"Count", 1, MemberKind::PropertyGet, kCount, [](void* s, VARIANT* a) { return Items(s)->get_Count(&a[0].lVal); }},
    {u"Add", 2, MemberKind::Method, kAdd, [](void* s, VARIANT* a) { return Items(s)->Add(a[0].pdispVal); }},
    {u"Remove", 3, MemberKind::Method, kRemove, [](void* s, VARIANT* a) { return Items(s)->Remove(a[0].lVal); }},
    {u"Clear", 4, MemberKind::Method, {}, [](void* s, VARIANT*) { return Items(s)->Clear(); }},
};

} // namespace

const plat::InterfaceDesc kIItemsDesc{u"IItems", IID_IItems, kItemsMembers};
