// The item stand-in: one item of a device's item tree as the service keeps
// it, with its properties. The service hands drivers an item as an opaque
// context pointer; here that pointer is the WiaItem itself.
//
// A property comes into being when it is named (wiasSetItemPropNames), then
// gets its value and its attributes. Every property also keeps the value it
// had before the client's last change, which validation reads as the old
// value; until a client changes anything the old value is the current one.
#pragma once

#include "platform/wia/wiadef.h"
#include "platform/wia/wiatransfer.h"

#include <map>
#include <string>
#include <vector>

namespace plat::wia {

// A PROPVARIANT that owns its value.
class PropValue {
public:
    PropValue() { PropVariantInit(&value_); }
    ~PropValue() { PropVariantClear(&value_); }
    PropValue(const PropValue& other);
    PropValue& operator=(const PropValue& other);

    // Replaces the value with a copy; on failure the value is unchanged.
    HRESULT Assign(const PROPVARIANT& value);
    const PROPVARIANT& Get() const { return value_; }
    VARTYPE Type() const { return value_.vt; }

private:
    PROPVARIANT value_;
};

struct ItemProperty {
    PROPID id = 0;
    std::u16string name;
    PropValue value;
    PropValue oldValue; // VT_EMPTY: no client change yet, old == current
    bool hasAttributes = false;
    ULONG accessFlags = 0;
    VARTYPE vt = VT_EMPTY;
    // Valid values, by the kind in accessFlags.
    LONG rangeMin = 0, rangeNom = 0, rangeMax = 0, rangeInc = 0;
    LONG listNom = 0;
    std::vector<LONG> listLong;
    GUID guidNom{};
    std::vector<GUID> listGuid;
    LONG flagNom = 0, flagValidBits = 0;

    const PROPVARIANT& OldOrCurrent() const { return oldValue.Type() == VT_EMPTY ? value.Get() : oldValue.Get(); }
    // Whether a value of type `vt` may be stored: the type the attributes or
    // the current value gave the property, or any while it has neither.
    bool AcceptsType(VARTYPE type) const;
    // Whether the current value lies in the valid values.
    bool CurrentValueIsValid() const;
};

class WiaItem {
public:
    // `root` is the root item of the tree, or null when this is the root;
    // `drvItem`, when given, is the driver item behind this item, which the
    // item holds a reference to (wiasGetDrvItem answers it).
    explicit WiaItem(LONG itemType, WiaItem* root = nullptr, IWiaDrvItem* drvItem = nullptr);
    ~WiaItem();
    WiaItem(const WiaItem&) = delete;
    WiaItem& operator=(const WiaItem&) = delete;

    // The context pointer drivers receive for this item, and back.
    BYTE* Context() { return reinterpret_cast<BYTE*>(this); }
    static WiaItem* FromContext(BYTE* pWiasContext);

    LONG ItemType() const { return itemType_; }
    WiaItem* Root() { return root_ ? root_ : this; }
    IWiaDrvItem* DrvItem() const { return drvItem_; }

    ItemProperty* Find(PROPID id);
    ItemProperty* FindByName(const WCHAR* name);
    // The property a PROPSPEC names, or null.
    ItemProperty* Find(const PROPSPEC& spec);
    // Names a property, creating it when new.
    void SetName(PROPID id, std::u16string name);
    // Ids in ascending order.
    std::vector<PROPID> Ids() const;

    // A client's change, as the service applies one: every property's
    // present value becomes its old value, then the values are written (all
    // or none; E_INVALIDARG for an unknown property or a type that does not
    // fit). Validation comes afterwards, through the driver.
    HRESULT WriteFromClient(ULONG count, const PROPSPEC* specs, const PROPVARIANT* values);
    // Puts back the values every property had before the client's last
    // change, as the service does when the driver refuses the change.
    void UndoClientWrite();

private:
    LONG itemType_;
    WiaItem* root_;
    IWiaDrvItem* drvItem_;
    std::map<PROPID, ItemProperty> properties_;
};

} // namespace plat::wia
