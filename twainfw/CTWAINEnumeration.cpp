#include "twainfw/CTWAINEnumeration.h"

#include "twainfw/CTWAINRange.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINException.h"

#include <limits>

namespace Trellis {

CTWAINEnumeration& CTWAINEnumeration::operator=(const CTWAINArray& other)
{
    m_List = other.m_List;
    CurrentIndex = 0;
    DefaultIndex = 0;
    return *this;
}

void CTWAINEnumeration::Clear()
{
    CTWAINArray::Clear();
    CurrentIndex = 0;
    DefaultIndex = 0;
}

std::optional<CTWAINOneValue> CTWAINEnumeration::CurrentItem() const
{
    if (CurrentIndex >= m_List.size())
        return std::nullopt;
    return m_List[CurrentIndex];
}

std::optional<CTWAINOneValue> CTWAINEnumeration::DefaultItem() const
{
    if (DefaultIndex >= m_List.size())
        return std::nullopt;
    return m_List[DefaultIndex];
}

CTWAINOneValue CTWAINEnumeration::GetCurrent() const
{
    if (std::optional<CTWAINOneValue> item = CurrentItem())
        return *item;
    throw CTWAINEnumerationException();
}

CTWAINOneValue CTWAINEnumeration::GetDefault() const
{
    if (std::optional<CTWAINOneValue> item = DefaultItem())
        return *item;
    throw CTWAINEnumerationException();
}

void CTWAINEnumeration::Add(const CTWAINOneValue& value, bool makeCurrent, bool makeDefault)
{
    if (value.ItemType == TWTY_FRAME || !Contains(value))
        m_List.push_back(value);
    if (makeCurrent)
        CurrentIndex = Find(value);
    if (makeDefault)
        DefaultIndex = Find(value);
}

bool CTWAINEnumeration::SetCurrent(const CTWAINOneValue& value, const CTWAINArray& allowed, bool mayAdd)
{
    if (std::optional<TW_UINT32> index = IndexOf(value)) {
        CurrentIndex = *index;
        return true;
    }
    if (mayAdd && allowed.Contains(value)) {
        Add(value);
        CurrentIndex = Find(value);
        return true;
    }
    return false;
}

bool CTWAINEnumeration::SetCurrentNearest(const CTWAINOneValue& value, bool& adjusted)
{
    if (std::optional<TW_UINT32> index = IndexOf(value)) {
        CurrentIndex = *index;
        adjusted = false;
        return true;
    }
    adjusted = false;
    if (value.ItemType != TWTY_UINT8 && value.ItemType != TWTY_UINT32 && value.ItemType != TWTY_FIX32)
        return false;
    if (m_List.empty())
        return false;

    double v = value.GetFloat();
    double max = -10000.0;
    for (const CTWAINOneValue& item : m_List)
        if (item.GetFloat() - max > kNearestMargin)
            max = item.GetFloat();
    double min = max;
    for (const CTWAINOneValue& item : m_List)
        if (item.GetFloat() - min < -kNearestMargin)
            min = item.GetFloat();
    if (FloatLess(v, min) || FloatGreater(v, max))
        return false;

    adjusted = true;
    std::optional<CTWAINOneValue> current = CurrentItem();
    double best = current ? NearestDistance(v, current->GetFloat()) : std::numeric_limits<double>::infinity();
    for (const CTWAINOneValue& item : m_List) {
        double d = NearestDistance(v, item.GetFloat());
        if (d - best < -kNearestMargin)
            best = d;
    }
    // The upper candidate first: of two equally near values the upper wins.
    for (double candidate : {v + best, v - best}) {
        if (std::optional<TW_UINT32> index = IndexOf(CTWAINOneValue(static_cast<float>(candidate)))) {
            CurrentIndex = *index;
            return true;
        }
    }
    return false;
}

bool CTWAINEnumeration::Constrain(const CTWAINEnumeration& request, const CTWAINArray& allowed)
{
    const CTWAINEnumeration requested = request; // the request may be this list
    std::optional<CTWAINOneValue> oldCurrent = CurrentItem();
    std::optional<CTWAINOneValue> oldDefault = DefaultItem();

    bool result = CTWAINArray::Constrain(requested, allowed);

    // The request's own choice, else the old item, else the fallback.
    auto pick = [this](TW_UINT32 requestIndex, const std::optional<CTWAINOneValue>& requestItem,
                       const std::optional<CTWAINOneValue>& oldItem, TW_UINT32 fallback) {
        std::optional<TW_UINT32> index;
        if (requestIndex != kNoIndex && requestItem)
            index = IndexOf(*requestItem);
        if (!index && oldItem)
            index = IndexOf(*oldItem);
        return index.value_or(fallback);
    };
    DefaultIndex = pick(requested.DefaultIndex, requested.DefaultItem(), oldDefault, 0);
    CurrentIndex = pick(requested.CurrentIndex, requested.CurrentItem(), oldCurrent, DefaultIndex);
    return result;
}

bool CTWAINEnumeration::ConstrainToRange(const CTWAINRange& request, const CTWAINArray& allowed)
{
    std::optional<CTWAINOneValue> oldCurrent = CurrentItem();
    std::optional<CTWAINOneValue> oldDefault = DefaultItem();
    const CTWAINArray allowedList = allowed; // may be this very list
    Clear();

    bool result = true;
    request.WalkSteps([&](const CTWAINOneValue& step) {
        if (allowedList.Contains(step))
            Add(step);
        else
            result = false;
    });
    if (m_List.empty())
        return result;

    std::optional<TW_UINT32> index = IndexOf(request.DefaultValue);
    if (!index && oldDefault)
        index = IndexOf(*oldDefault);
    DefaultIndex = index.value_or(0);

    index = IndexOf(request.CurrentValue);
    if (!index && oldCurrent)
        index = IndexOf(*oldCurrent);
    CurrentIndex = index.value_or(Find(m_List[DefaultIndex]));
    return result;
}

CTWAINEnumeration CTWAINEnumeration::ConvertUnits(int fromUnit, int toUnit, float resolution) const
{
    if (fromUnit == toUnit)
        return *this;
    CTWAINEnumeration converted;
    for (size_t i = 0; i < m_List.size(); ++i) {
        float value = ConvertUnit(m_List[i].GetFloat(), fromUnit, toUnit, resolution);
        converted.Add(CTWAINOneValue(value), i == CurrentIndex, i == DefaultIndex);
    }
    return converted;
}

} // namespace Trellis
