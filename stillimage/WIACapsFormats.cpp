// The transfer formats of the feeder item, and the commands and events of
// the device.
#include "stillimage/WIACaps.h"

#include "diag/OperationTrace.h"
#include "stillimage/DataTraceText.h"

#include <new>

namespace {

GUID g_synchronize = WIA_CMD_SYNCHRONIZE;
GUID g_connected = WIA_EVENT_DEVICE_CONNECTED;
GUID g_disconnected = WIA_EVENT_DEVICE_DISCONNECTED;
WCHAR g_synchronizeName[] = u"Synchronize";
WCHAR g_synchronizeDescription[] = u"Synchronize Command";
WCHAR g_synchronizeIcon[] = u"sti.dll,-2000";
WCHAR g_connectedName[] = u"Connected";
WCHAR g_connectedDescription[] = u"PnP Device Arrival Event";
WCHAR g_disconnectedName[] = u"Disconnected";
WCHAR g_disconnectedDescription[] = u"PnP Device Removal Event";
WCHAR g_eventIcon[] = u"sti.dll,-1001";

// An element that cannot be added is left out.
template <typename T>
void Append(std::vector<T>& list, const T& element)
{
    try {
        list.push_back(element);
    } catch (const std::bad_alloc&) {
    }
}

} // namespace

HRESULT CWIACaps::GetSupportedFormats(LONG* pcelt, WIA_FORMAT_INFO** ppwfi)
{
    TraceEntered(*this, u"GetSupportedFormats");
    if (m_formatInfoList.empty()) {
        Append(m_formatInfoList, WIA_FORMAT_INFO{WiaImgFmt_MEMORYBMP, TYMED_CALLBACK});
        Append(m_formatInfoList, WIA_FORMAT_INFO{WiaImgFmt_BMP, TYMED_FILE});
    }
    *pcelt = static_cast<LONG>(m_formatInfoList.size());
    *ppwfi = m_formatInfoList.data();
    TraceExit(*this, u"GetSupportedFormats", S_OK);
    return S_OK;
}

HRESULT CWIACaps::GetWIACapabilities(LONG lFlags, LONG* pcelt, WIA_DEV_CAP_DRV** ppCapabilities)
{
    TraceEntered(*this, u"GetWIACapabilities");
    DataTraceText data(*this);
    std::vector<WIA_DEV_CAP_DRV>().swap(m_capabilityList);
    if (lFlags & WIA_DEVICE_COMMANDS) {
        data.Add(u"- WIA_DEVICE_COMMANDS\n");
        Append(m_capabilityList,
               WIA_DEV_CAP_DRV{&g_synchronize, 0, g_synchronizeName, g_synchronizeDescription, g_synchronizeIcon});
    }
    if (lFlags & WIA_DEVICE_EVENTS) {
        data.Add(u"- WIA_DEVICE_EVENTS\n");
        Append(m_capabilityList, WIA_DEV_CAP_DRV{&g_connected, WIA_NOTIFICATION_EVENT, g_connectedName,
                                                 g_connectedDescription, g_eventIcon});
        Append(m_capabilityList, WIA_DEV_CAP_DRV{&g_disconnected, WIA_NOTIFICATION_EVENT, g_disconnectedName,
                                                 g_disconnectedDescription, g_eventIcon});
    }
    *pcelt = static_cast<LONG>(m_capabilityList.size());
    *ppCapabilities = m_capabilityList.data();
    data.Flush();
    TraceExit(*this, u"GetWIACapabilities", S_OK);
    return S_OK;
}
