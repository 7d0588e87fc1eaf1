#include "twainfw/CTWAINArray.h"

#include "twainfw/TWAINException.h"

namespace Trellis {

void CTWAINArray::RemoveAt(TW_UINT32 index)
{
    if (index < m_List.size())
        m_List.erase(m_List.begin() + index);
}

void CTWAINArray::Clear() { m_List.clear(); }

std::optional<TW_UINT32> CTWAINArray::IndexOf(const CTWAINOneValue& value) const
{
    for (size_t i = 0; i < m_List.size(); ++i)
        if (m_List[i] == value)
            return static_cast<TW_UINT32>(i);
    return std::nullopt;
}

TW_UINT32 CTWAINArray::Find(const CTWAINOneValue& value) const
{
    if (std::optional<TW_UINT32> index = IndexOf(value))
        return *index;
    throw CTWAINArrayException();
}

bool CTWAINArray::Contains(const CTWAINOneValue& value) const { return IndexOf(value).has_value(); }

bool CTWAINArray::Constrain(const CTWAINArray& request, const CTWAINArray& allowed)
{
    // The request and the allowed list may be this very list.
    const std::vector<CTWAINOneValue> requested = request.m_List;
    CTWAINArray allowedCopy;
    if (&allowed == this)
        allowedCopy.m_List = m_List;
    const CTWAINArray& allowedList = &allowed == this ? allowedCopy : allowed;
    Clear();
    bool result = true;
    for (const CTWAINOneValue& item : requested) {
        if (!allowedList.Contains(item))
            result = false;
        else if (item.ItemType == TWTY_FRAME || !Contains(item))
            m_List.push_back(item);
    }
    return result;
}

const CTWAINOneValue& CTWAINArray::GetAt(TW_UINT32 index) const
{
    if (index >= m_List.size())
        throw CTWAINArrayException();
    return m_List[index];
}

} // namespace Trellis
