#include "twainfw/CTWAINContainer.h"

#include "twainfw/TWAINException.h"

namespace Trellis {

CTWAINContainer::CTWAINContainer() : ContainerType(0) {}

CTWAINContainer::CTWAINContainer(const CTWAINArray& array) : ContainerType(0) { SetArray(array); }

CTWAINContainer::CTWAINContainer(const CTWAINEnumeration& enumeration) : ContainerType(0)
{
    SetEnumeration(enumeration);
}

CTWAINContainer::CTWAINContainer(const CTWAINRange& range) : ContainerType(0) { SetRange(range); }

CTWAINContainer::CTWAINContainer(const CTWAINOneValue& value) : ContainerType(0) { SetOneValue(value); }

CTWAINContainer& CTWAINContainer::operator=(const CTWAINContainer& other)
{
    ContainerType = other.ContainerType;
    Range = other.Range;
    List.m_List = other.List.m_List;
    List.CurrentIndex = other.List.CurrentIndex;
    List.DefaultIndex = other.List.DefaultIndex;
    return *this;
}

void CTWAINContainer::SetArray(const CTWAINArray& array)
{
    ContainerType = TWON_ARRAY;
    List = array;
}

void CTWAINContainer::SetEnumeration(const CTWAINEnumeration& enumeration)
{
    ContainerType = TWON_ENUMERATION;
    List = enumeration;
}

void CTWAINContainer::SetOneValue(const CTWAINOneValue& value)
{
    ContainerType = TWON_ONEVALUE;
    List.Clear();
    List.Add(value);
}

void CTWAINContainer::SetRange(const CTWAINRange& range)
{
    ContainerType = TWON_RANGE;
    Range = range;
}

CTWAINOneValue CTWAINContainer::GetOneValue() const
{
    if (ContainerType != TWON_ONEVALUE || List.m_List.empty())
        throw CTWAINContainerException();
    return List.m_List.front();
}

CTWAINArray CTWAINContainer::GetArray() const
{
    if (ContainerType != TWON_ARRAY && ContainerType != TWON_ENUMERATION)
        throw CTWAINContainerException();
    return static_cast<const CTWAINArray&>(List);
}

CTWAINEnumeration CTWAINContainer::GetEnumeration() const
{
    if (ContainerType != TWON_ENUMERATION)
        throw CTWAINContainerException();
    return List;
}

CTWAINRange CTWAINContainer::GetRange() const
{
    if (ContainerType != TWON_RANGE)
        throw CTWAINContainerException();
    return Range;
}

bool CTWAINContainer::Contains(const CTWAINOneValue& value) const
{
    switch (ContainerType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION:
        return List.Contains(value);
    case TWON_ONEVALUE:
        return !List.m_List.empty() && List.m_List.front() == value;
    default:
        throw CTWAINContainerException();
    }
}

} // namespace Trellis
