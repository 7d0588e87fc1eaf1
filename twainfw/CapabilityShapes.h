// The shapes of the capability routes: how each message of a capability
// reaches the accessor of its group, and how the accessor's value crosses
// in the TWAIN container. A shape makes the route of one capability from
// its id, the item type of its one values and its accessors.
#pragma once
#include "twainfw/CapabilityRoutes.h"

#include <string>
#include <type_traits>
#include <utility>

namespace Trellis::routes {

using DS = CTWAINDataSource;
using Route = CapabilityRoute;

constexpr TW_INT32 kAllOperations = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;

// ---- one values to and from the accessors' types ----

inline CTWAINOneValue Item(bool value, TW_UINT16) { return CTWAINOneValue(value ? 1u : 0u, TWTY_BOOL); }
inline CTWAINOneValue Item(TW_UINT16 value, TW_UINT16 itemType) { return CTWAINOneValue(TW_UINT32{value}, itemType); }
inline CTWAINOneValue Item(TW_INT16 value, TW_UINT16 itemType)
{
    return CTWAINOneValue(TW_UINT32{static_cast<TW_UINT16>(value)}, itemType);
}
inline CTWAINOneValue Item(TW_UINT32 value, TW_UINT16 itemType) { return CTWAINOneValue(value, itemType); }
inline CTWAINOneValue Item(float value, TW_UINT16) { return CTWAINOneValue(value); }
inline CTWAINOneValue Item(const std::string& value, TW_UINT16 itemType) { return CTWAINOneValue(value, itemType); }
inline CTWAINOneValue Item(const CTWAINFrame& value, TW_UINT16)
{
    return CTWAINOneValue(static_cast<const TW_FRAME&>(value));
}

// A list result is copied whole, an array or enumeration keeps its shape, a
// single value becomes a one value of the capability's item type.
inline void Store(CTWAINContainer& container, const CTWAINContainer& result, TW_UINT16) { container = result; }
inline void Store(CTWAINContainer& container, const CTWAINArray& result, TW_UINT16) { container.SetArray(result); }
inline void Store(CTWAINContainer& container, const CTWAINEnumeration& result, TW_UINT16)
{
    container.SetEnumeration(result);
}
template <class T>
void Store(CTWAINContainer& container, const T& result, TW_UINT16 itemType)
{
    container.SetOneValue(Item(result, itemType));
}

// The application's one value as the setter's type. Only the low 16 bits of
// a BOOL count; frames and strings are refused where a number is expected.
template <class T>
T ValueOf(const CTWAINOneValue& value, TW_UINT16 itemType)
{
    if constexpr (std::is_same_v<T, bool>) {
        return (value.Value & 0xFFFF) != 0;
    } else if constexpr (std::is_same_v<T, TW_UINT16> || std::is_same_v<T, TW_INT16>) {
        return static_cast<T>(value.GetUInt16());
    } else if constexpr (std::is_same_v<T, TW_UINT32>) {
        (void)value.GetUInt16(); // refuses the wide items
        return value.Value;
    } else if constexpr (std::is_same_v<T, float>) {
        (void)value.GetUInt16();
        return value.GetFloat();
    } else {
        static_assert(std::is_same_v<T, std::string>);
        return value.GetString().substr(0, GetStringItemLength(itemType));
    }
}

// The value type a setter takes.
template <class Setter>
struct SetterOf;
template <class P>
struct SetterOf<void (DS::*)(P)> {
    using Value = std::decay_t<P>;
};

// A member capability's value as its one value, and back; its default is
// false, 0, or "0000" for the printer suffix, the one text so held.
inline CTWAINOneValue MemberItem(TW_UINT8 flag) { return CTWAINOneValue(flag ? 1u : 0u, TWTY_BOOL); }
inline CTWAINOneValue MemberItem(bool flag) { return CTWAINOneValue(flag ? 1u : 0u, TWTY_BOOL); }
inline CTWAINOneValue MemberItem(TW_INT32 number)
{
    return CTWAINOneValue(static_cast<TW_UINT32>(number), TWTY_UINT32);
}
inline CTWAINOneValue MemberItem(const std::string& text) { return CTWAINOneValue(text, TWTY_STR255); }

template <class T>
T MemberValue(const CTWAINOneValue& value)
{
    if constexpr (std::is_same_v<T, TW_UINT8>)
        return (value.Value & 0xFFFF) != 0 ? 1 : 0;
    else if constexpr (std::is_same_v<T, bool>)
        return (value.Value & 0xFFFF) != 0;
    else if constexpr (std::is_same_v<T, TW_INT32>)
        return static_cast<TW_INT32>(ValueOf<TW_UINT32>(value, TWTY_UINT32));
    else
        return ValueOf<std::string>(value, TWTY_STR255);
}

template <class T>
T MemberDefault()
{
    if constexpr (std::is_same_v<T, std::string>)
        return "0000";
    else
        return T{};
}

template <auto Where>
using MemberType = std::remove_reference_t<decltype(Where(std::declval<DS&>()))>;

// ---- steps ----

// An accessor's result into the working container.
template <auto Accessor, TW_UINT16 ItemType = TWTY_UINT16>
void Answer(DS& ds, CTWAINContainer& container)
{
    Store(container, (ds.*Accessor)(), ItemType);
}

template <auto Query>
TW_INT32 Support(DS& ds)
{
    return (ds.*Query)();
}

inline TW_INT32 AllOperations(DS&) { return kAllOperations; }

// Whatever the container type, its one value.
template <auto Setter, TW_UINT16 ItemType>
void SetOne(DS& ds, const CTWAINContainer& container)
{
    using T = typename SetterOf<decltype(Setter)>::Value;
    (ds.*Setter)(ValueOf<T>(container.GetOneValue(), ItemType));
}

// An enumeration constrains the list, a one value sets the current value;
// with a range setter a range constrains too.
template <auto Constraint, auto Setter, TW_UINT16 ItemType, auto RangeConstraint = nullptr>
void SetList(DS& ds, const CTWAINContainer& container)
{
    switch (container.ContainerType) {
    case TWON_ENUMERATION:
        (ds.*Constraint)(container.GetEnumeration());
        return;
    case TWON_ONEVALUE:
        SetOne<Setter, ItemType>(ds, container);
        return;
    case TWON_RANGE:
        if constexpr (!std::is_null_pointer_v<decltype(RangeConstraint)>) {
            (ds.*RangeConstraint)(container.GetRange());
            return;
        }
        break;
    default:
        break;
    }
    ds.ThrowFailure(TWCC_BADVALUE);
}

// Whatever the container type, its list as an array.
template <auto Setter>
void SetArray(DS& ds, const CTWAINContainer& container)
{
    (ds.*Setter)(container.GetArray());
}

// The getter acts and answers nothing.
template <auto Action>
void Act(DS& ds, CTWAINContainer&)
{
    (ds.*Action)();
}

// The steps of a capability held in a member; `Where` gives the member's
// place in a data source.
template <auto Where>
void ReadMember(DS& ds, CTWAINContainer& container)
{
    container.SetOneValue(MemberItem(Where(ds)));
}

template <auto Where>
void AnswerMemberDefault(DS&, CTWAINContainer& container)
{
    container.SetOneValue(MemberItem(MemberDefault<MemberType<Where>>()));
}

template <auto Where>
void WriteMember(DS& ds, const CTWAINContainer& container)
{
    Where(ds) = MemberValue<MemberType<Where>>(container.GetOneValue());
}

template <auto Where>
void ResetMember(DS& ds, CTWAINContainer& container)
{
    Where(ds) = MemberDefault<MemberType<Where>>();
    AnswerMemberDefault<Where>(ds, container);
}

// ---- the shapes of the accessor groups ----
// The accessors are given in the order of their group.

// An enumerated list: MSG_GET answers the list, the other messages one
// value; SET takes an enumeration as a constraint and a one value as the
// current value.
template <TW_UINT16 Id, TW_UINT16 ItemType, auto Values, auto Current, auto Default, auto Constraint, auto SetCurrent,
          auto Reset, auto Query>
constexpr Route ListRoute{Id,
                          Answer<Values>,
                          Answer<Current, ItemType>,
                          Answer<Default, ItemType>,
                          SetList<Constraint, SetCurrent, ItemType>,
                          Answer<Reset, ItemType>,
                          Support<Query>};

// A list that may also be a range, which SET takes as a constraint too.
template <TW_UINT16 Id, TW_UINT16 ItemType, auto Values, auto Current, auto Default, auto RangeConstraint,
          auto Constraint, auto SetCurrent, auto Reset, auto Query>
constexpr Route RangeRoute{Id,
                           Answer<Values>,
                           Answer<Current, ItemType>,
                           Answer<Default, ItemType>,
                           SetList<Constraint, SetCurrent, ItemType, RangeConstraint>,
                           Answer<Reset, ItemType>,
                           Support<Query>};

// A list whose SET takes one value only.
template <TW_UINT16 Id, TW_UINT16 ItemType, auto Values, auto Current, auto Default, auto SetCurrent, auto Reset,
          auto Query>
constexpr Route OneSetListRoute{Id,
                                Answer<Values>,
                                Answer<Current, ItemType>,
                                Answer<Default, ItemType>,
                                SetOne<SetCurrent, ItemType>,
                                Answer<Reset, ItemType>,
                                Support<Query>};

// One value: MSG_GET answers the current value.
template <TW_UINT16 Id, TW_UINT16 ItemType, auto Current, auto Default, auto SetCurrent, auto Reset, auto Query>
constexpr Route OneValueRoute{Id,
                              Answer<Current, ItemType>,
                              Answer<Current, ItemType>,
                              Answer<Default, ItemType>,
                              SetOne<SetCurrent, ItemType>,
                              Answer<Reset, ItemType>,
                              Support<Query>};

// Read-only: every reading message and RESET call the one getter; SET goes
// to the hook.
template <TW_UINT16 Id, TW_UINT16 ItemType, auto Getter, auto Query>
constexpr Route ReadOnlyRoute{Id,
                              Answer<Getter, ItemType>,
                              Answer<Getter, ItemType>,
                              Answer<Getter, ItemType>,
                              nullptr,
                              Answer<Getter, ItemType>,
                              Support<Query>};

// A route whose RESET goes to the hook.
constexpr Route ResetByHook(Route route)
{
    route.Reset = nullptr;
    return route;
}

// A text: every reading message and RESET call the getter.
template <TW_UINT16 Id, TW_UINT16 ItemType, auto Getter, auto Setter, auto Query>
constexpr Route StringRoute{Id,
                            Answer<Getter, ItemType>,
                            Answer<Getter, ItemType>,
                            Answer<Getter, ItemType>,
                            SetOne<Setter, ItemType>,
                            Answer<Getter, ItemType>,
                            Support<Query>};

// An array on every message.
template <TW_UINT16 Id, auto Values, auto Current, auto Default, auto SetValues, auto Reset, auto Query>
constexpr Route ArrayRoute{
    Id, Answer<Values>, Answer<Current>, Answer<Default>, SetArray<SetValues>, Answer<Reset>, Support<Query>};

// CAP_CLEARPAGE and its sisters: the getter acts and answers nothing; SET
// goes to the hook.
template <TW_UINT16 Id, auto Action, auto Query>
constexpr Route ActionRoute{Id, Act<Action>, Act<Action>, Act<Action>, nullptr, Act<Action>, Support<Query>};

// A capability held in a plain member of the data source.
template <TW_UINT16 Id, auto Where>
constexpr Route MemberRoute{Id,
                            ReadMember<Where>,
                            ReadMember<Where>,
                            AnswerMemberDefault<Where>,
                            WriteMember<Where>,
                            ResetMember<Where>,
                            AllOperations};

} // namespace Trellis::routes
