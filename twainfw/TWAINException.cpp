#include "twainfw/TWAINException.h"

#include "twainfw/DebugLog.h"
#include "twainfw/TWAINText.h"

namespace Trellis {

CTWAINOperationException::CTWAINOperationException(HMODULE hModule, TW_INT32 returnCode, TW_INT32 dg, TW_INT32 dat,
                                                   TW_INT32 msg, TW_INT32 conditionCode, TW_INT32 capability)
    : CTWAINException(GetTWAINResultText(hModule, static_cast<TW_UINT16>(returnCode), static_cast<TW_UINT32>(dg),
                                         static_cast<TW_UINT16>(dat), static_cast<TW_UINT16>(msg),
                                         static_cast<TW_UINT16>(conditionCode), static_cast<TW_UINT16>(capability))),
      m_hModule(hModule), m_ReturnCode(returnCode), m_DG(dg), m_DAT(dat), m_MSG(msg), m_ConditionCode(conditionCode),
      m_Capability(capability)
{
}

void ThrowFailure(const TWAINCallContext& c, TW_UINT16 conditionCode)
{
    throw CTWAINFailureException(c.hModule, c.dg, c.dat, c.msg, conditionCode, c.capability);
}

void ThrowCheckStatus(const TWAINCallContext& c, TW_UINT16 conditionCode)
{
    throw CTWAINCheckStatusException(c.hModule, c.dg, c.dat, c.msg, conditionCode, c.capability);
}

void ThrowCancel(const TWAINCallContext& c)
{
    throw CTWAINCancelException(c.hModule, c.dg, c.dat, c.msg, c.capability);
}

void ThrowXferDone(const TWAINCallContext& c)
{
    throw CTWAINXferDoneException(c.hModule, c.dg, c.dat, c.msg, c.capability);
}

TWAINOutcome OutcomeOfException(std::exception_ptr error, HMODULE hModule)
{
    TWAINOutcome outcome;
    try {
        std::rethrow_exception(error);
    } catch (const CTWAINXferDoneException&) {
        outcome.returnCode = TWRC_XFERDONE;
        outcome.xferDone = true;
        if (DebugLogOn())
            DebugPrint("DS: XferDone\n\n");
    } catch (const CTWAINOperationException& e) {
        outcome.returnCode = static_cast<TW_UINT16>(e.m_ReturnCode);
        outcome.setsConditionCode = true;
        outcome.conditionCode = static_cast<TW_UINT16>(e.m_ConditionCode);
        if (DebugLogOn())
            DebugPrint("DS: Operation exception caught, return code \"%s\", condition code \"%s\".\n%s\n\n",
                       GetReturnCodeText(hModule, outcome.returnCode).c_str(),
                       GetConditionCodeText(hModule, outcome.conditionCode).c_str(), e.m_Message.c_str());
    } catch (const CTWAINException& e) {
        outcome.returnCode = TWRC_FAILURE;
        outcome.setsConditionCode = true;
        outcome.conditionCode = TWCC_BUMMER;
        if (DebugLogOn())
            DebugPrint("DS: Exception caught: %s\n\n", e.m_Message.c_str());
    } catch (...) {
        outcome.returnCode = TWRC_FAILURE;
        outcome.setsConditionCode = true;
        outcome.conditionCode = TWCC_BUMMER;
        if (DebugLogOn())
            DebugPrint("DS: Unknown exception caught.\n\n");
    }
    return outcome;
}

} // namespace Trellis
