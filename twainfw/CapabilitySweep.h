// The sweep an application's conformance suite runs over a data source,
// through its entry only: every capability in CAP_SUPPORTEDCAPS can be read
// and answers the messages its MSG_QUERYSUPPORT allows, refusing the others
// with TWCC_CAPBADOPERATION; its current value set back changes nothing,
// another value it offers is taken, and MSG_RESET then answers the default
// and makes it current.
#pragma once
#include "platform/windows.h"
#include "twainfw/CTWAINContainer.h"
#include "twainfw/TWAINException.h"
#include "twainfw/TWAINMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace Trellis::testing {

// The whole record of an answer's handle, also read into `container`; the
// handle is then freed, as the application frees it. A plain pointer has
// no size of its own: the record is as long as its container says.
inline std::vector<uint8_t> TakeRecord(const TW_CAPABILITY& capability, CTWAINContainer& container)
{
    std::vector<uint8_t> bytes;
    TW_HANDLE handle = capability.hContainer;
    try {
        container.FromHandle(handle, capability.ConType);
        const size_t size = container.GetHandleSize();
        CTWAINHandleLock lock(handle);
        if (lock.Data())
            bytes.assign(static_cast<uint8_t*>(lock.Data()), static_cast<uint8_t*>(lock.Data()) + size);
    } catch (const CTWAINException&) {
        ADD_FAILURE() << "the answer is no record of its container type " << capability.ConType;
    }
    TWAINFreeHandle(handle);
    return bytes;
}

class CapabilitySweep {
public:
    // One DAT_CAPABILITY triplet through the entry, and the condition code
    // DAT_STATUS reports after it.
    using SendCapability = std::function<TW_UINT16(TW_UINT16 msg, TW_CAPABILITY& capability)>;
    using ConditionCode = std::function<TW_UINT16()>;

    CapabilitySweep(SendCapability send, ConditionCode condition)
        : m_send(std::move(send)), m_condition(std::move(condition))
    {
    }

    std::vector<TW_UINT16> Listed()
    {
        const Answer answer = Ask(CAP_SUPPORTEDCAPS, MSG_GET);
        std::vector<TW_UINT16> ids;
        EXPECT_EQ(TWON_ARRAY, answer.conType);
        if (answer.conType != TWON_ARRAY)
            return ids;
        for (const CTWAINOneValue& item : answer.container.List.m_List)
            ids.push_back(static_cast<TW_UINT16>(item.Value));
        return ids;
    }

    // A source may answer a default that its reset does not give (kept as a
    // device has always reported it); its reset must still make its answer
    // current.
    enum class Reset { ToDefault, ToItsOwnValue };

    void Run(TW_UINT16 id, Reset reset = Reset::ToDefault)
    {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << id);
        const Answer support = Ask(id, MSG_QUERYSUPPORT);
        ASSERT_EQ(TWRC_SUCCESS, support.rc) << "condition " << support.condition;
        const TW_INT32 flags = static_cast<TW_INT32>(support.container.GetOneValue().Value);
        EXPECT_EQ(kRead, flags & kRead) << "every capability can be read";

        ExpectRefusals(id, flags);
        const Answer current = Ask(id, MSG_GETCURRENT);
        const Answer defaultValue = Ask(id, MSG_GETDEFAULT);
        const Answer values = Ask(id, MSG_GET);
        if ((flags & TWQC_SET) && (flags & TWQC_GETCURRENT)) {
            ExpectCurrentTakenBack(id, current);
            ExpectAnotherValueTaken(id, values, defaultValue);
        }
        if (flags & TWQC_RESET)
            ExpectReset(id, flags, defaultValue, reset);
    }

private:
    static constexpr TW_INT32 kRead = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;

    struct Answer {
        TW_UINT16 rc = TWRC_FAILURE;
        TW_UINT16 condition = TWCC_SUCCESS;
        TW_UINT16 conType = TWON_DONTCARE16;
        std::vector<uint8_t> record; // the whole TWAIN record of the answer
        CTWAINContainer container;
    };

    // A message expected to be answered.
    Answer Ask(TW_UINT16 id, TW_UINT16 msg)
    {
        Answer answer = Send(id, msg, nullptr, TWON_DONTCARE16);
        EXPECT_EQ(TWRC_SUCCESS, answer.rc) << "msg " << msg << " condition " << answer.condition;
        return answer;
    }

    Answer Send(TW_UINT16 id, TW_UINT16 msg, TW_HANDLE handle, TW_UINT16 conType)
    {
        TW_CAPABILITY capability{id, conType, handle};
        Answer answer;
        answer.rc = m_send(msg, capability);
        answer.condition = answer.rc == TWRC_SUCCESS ? TW_UINT16{TWCC_SUCCESS} : m_condition();
        if (msg == MSG_SET || answer.rc != TWRC_SUCCESS)
            return answer;
        answer.conType = capability.ConType;
        answer.record = TakeRecord(capability, answer.container);
        return answer;
    }

    // MSG_SET with the application's own global block holding the record;
    // the block must come back neither locked nor freed.
    Answer Set(TW_UINT16 id, const Answer& value)
    {
        HGLOBAL block = GlobalAlloc(GHND, value.record.size());
        std::memcpy(GlobalLock(block), value.record.data(), value.record.size());
        GlobalUnlock(block);
        Answer answer = Send(id, MSG_SET, block, value.conType);
        EXPECT_EQ(0u, GlobalFlags(block) & (GMEM_INVALID_HANDLE | 0xFF)) << "left locked or freed";
        GlobalFree(block);
        return answer;
    }

    // What QUERYSUPPORT leaves out is refused before anything is read.
    void ExpectRefusals(TW_UINT16 id, TW_INT32 flags)
    {
        const std::pair<TW_UINT16, TW_INT32> messages[] = {{MSG_GET, TWQC_GET},
                                                           {MSG_GETCURRENT, TWQC_GETCURRENT},
                                                           {MSG_GETDEFAULT, TWQC_GETDEFAULT},
                                                           {MSG_SET, TWQC_SET},
                                                           {MSG_RESET, TWQC_RESET}};
        for (const auto& [msg, flag] : messages) {
            if (flags & flag)
                continue;
            const Answer answer = Send(id, msg, nullptr, TWON_DONTCARE16);
            EXPECT_EQ(TWRC_FAILURE, answer.rc) << "msg " << msg;
            EXPECT_EQ(TWCC_CAPBADOPERATION, answer.condition) << "msg " << msg;
        }
    }

    void ExpectCurrentTakenBack(TW_UINT16 id, const Answer& current)
    {
        if (current.rc != TWRC_SUCCESS)
            return;
        const Answer set = Set(id, current);
        EXPECT_EQ(TWRC_SUCCESS, set.rc) << "current value set back, condition " << set.condition;
        EXPECT_EQ(current.record, Ask(id, MSG_GETCURRENT).record) << "current value after it was set back";
    }

    // A value other than the default that MSG_GET offers (an enumeration's
    // first such item, a range's minimum or maximum), so that the reset
    // after it has something to undo.
    static std::optional<CTWAINOneValue> AnotherValue(const Answer& values, const Answer& defaultValue)
    {
        if (values.rc != TWRC_SUCCESS || defaultValue.conType != TWON_ONEVALUE)
            return std::nullopt;
        const CTWAINOneValue fallback = defaultValue.container.GetOneValue();
        std::vector<CTWAINOneValue> offered;
        if (values.conType == TWON_ENUMERATION)
            offered = values.container.List.m_List;
        else if (values.conType == TWON_RANGE)
            offered = {values.container.Range.MinValue, values.container.Range.MaxValue};
        for (const CTWAINOneValue& value : offered) {
            if (!(value == fallback))
                return value;
        }
        return std::nullopt;
    }

    void ExpectAnotherValueTaken(TW_UINT16 id, const Answer& values, const Answer& defaultValue)
    {
        const std::optional<CTWAINOneValue> other = AnotherValue(values, defaultValue);
        if (!other)
            return;
        Answer request;
        request.conType = TWON_ONEVALUE;
        TW_HANDLE record = CTWAINContainer(*other).ToHandle();
        request.record = TakeRecord(TW_CAPABILITY{id, TWON_ONEVALUE, record}, request.container);
        const Answer set = Set(id, request);
        EXPECT_EQ(TWRC_SUCCESS, set.rc) << "offered value set, condition " << set.condition;
        EXPECT_EQ(request.record, Ask(id, MSG_GETCURRENT).record) << "current value after an offered one was set";
    }

    void ExpectReset(TW_UINT16 id, TW_INT32 flags, const Answer& defaultValue, Reset kind)
    {
        const Answer reset = Ask(id, MSG_RESET);
        EXPECT_EQ(defaultValue.conType, reset.conType);
        if (kind == Reset::ToDefault) {
            EXPECT_EQ(defaultValue.record, reset.record) << "reset answers the default";
        }
        if (flags & TWQC_GETCURRENT) {
            EXPECT_EQ(reset.record, Ask(id, MSG_GETCURRENT).record) << "current value after reset";
        }
        EXPECT_EQ(defaultValue.record, Ask(id, MSG_GETDEFAULT).record) << "default after reset";
    }

    SendCapability m_send;
    ConditionCode m_condition;
};

} // namespace Trellis::testing
