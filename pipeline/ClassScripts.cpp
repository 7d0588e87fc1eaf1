// The registry scripts the library carries as resources: the application
// identifier's and one per class. Only the classes the library can create
// have their scripts run; the others are carried along unused.
#include "pipeline/ClassScripts.h"

#include "platform/resources/RegistryScript.h"
#include "platform/windows.h"

namespace {

constexpr char kAppIdScript[] = R"(HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s 'RNXCOMCore'
        'RNXCOMCore.DLL'
        {
            val AppID = s '%APPID%'
        }
    }
}
)";

constexpr char kRNXHALWrapScript[] = R"(HKCR
{
    RNXCOMCore.RNXHALWrap.1 = s 'RNXHALWrap Class'
    {
        CLSID = s '{890FE0BC-AC15-47EE-AA41-468B364DA524}'
    }
    RNXCOMCore.RNXHALWrap = s 'RNXHALWrap Class'
    {
        CLSID = s '{890FE0BC-AC15-47EE-AA41-468B364DA524}'
        CurVer = s 'RNXCOMCore.RNXHALWrap.1'
    }
    NoRemove CLSID
    {
        ForceRemove {890FE0BC-AC15-47EE-AA41-468B364DA524} = s 'RNXHALWrap Class'
        {
            ProgID = s 'RNXCOMCore.RNXHALWrap.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXHALWrap'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXRasterBandScript[] = R"(HKCR
{
    RNXCOMCore.RNXRasterBand.1 = s 'RNXRasterBand Class'
    {
        CLSID = s '{D6522CD9-A866-4E81-8280-DB9F60EAC121}'
    }
    RNXCOMCore.RNXRasterBand = s 'RNXRasterBand Class'
    {
        CLSID = s '{D6522CD9-A866-4E81-8280-DB9F60EAC121}'
        CurVer = s 'RNXCOMCore.RNXRasterBand.1'
    }
    NoRemove CLSID
    {
        ForceRemove {D6522CD9-A866-4E81-8280-DB9F60EAC121} = s 'RNXRasterBand Class'
        {
            ProgID = s 'RNXCOMCore.RNXRasterBand.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXRasterBand'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXRBConvertScript[] = R"(HKCR
{
    RNXCOMCore.RNXRBConvert.1 = s 'RNXRBConvert Class'
    {
        CLSID = s '{B22EABAC-91AB-4225-855E-9DDAFEA036E0}'
    }
    RNXCOMCore.RNXRBConvert = s 'RNXRBConvert Class'
    {
        CLSID = s '{B22EABAC-91AB-4225-855E-9DDAFEA036E0}'
        CurVer = s 'RNXCOMCore.RNXRBConvert.1'
    }
    NoRemove CLSID
    {
        ForceRemove {B22EABAC-91AB-4225-855E-9DDAFEA036E0} = s 'RNXRBConvert Class'
        {
            ProgID = s 'RNXCOMCore.RNXRBConvert.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXRBConvert'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXInterconnectionScript[] = R"(HKCR
{
    RNXCOMCore.RNXInterconnection.1 = s 'RNXInterconnection Class'
    {
        CLSID = s '{90E97CD7-582F-4FAF-B745-1BA9F027A1EE}'
    }
    RNXCOMCore.RNXInterconnection = s 'RNXInterconnection Class'
    {
        CLSID = s '{90E97CD7-582F-4FAF-B745-1BA9F027A1EE}'
        CurVer = s 'RNXCOMCore.RNXInterconnection.1'
    }
    NoRemove CLSID
    {
        ForceRemove {90E97CD7-582F-4FAF-B745-1BA9F027A1EE} = s 'RNXInterconnection Class'
        {
            ProgID = s 'RNXCOMCore.RNXInterconnection.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXInterconnection'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kXMLObjScript[] = R"(HKCR
{
    RNXCOMCore.XMLObj.1 = s 'XMLObj Class'
    {
        CLSID = s '{C1D82AF6-313A-4D39-9341-1909B4B7B90E}'
    }
    RNXCOMCore.XMLObj = s 'XMLObj Class'
    {
        CLSID = s '{C1D82AF6-313A-4D39-9341-1909B4B7B90E}'
        CurVer = s 'RNXCOMCore.XMLObj.1'
    }
    NoRemove CLSID
    {
        ForceRemove {C1D82AF6-313A-4D39-9341-1909B4B7B90E} = s 'XMLObj Class'
        {
            ProgID = s 'RNXCOMCore.XMLObj.1'
            VersionIndependentProgID = s 'RNXCOMCore.XMLObj'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXPipelineManagerScript[] = R"(HKCR
{
    RNXCOMCore.RNXPipelineManager.1 = s 'RNXPipelineManager Class'
    {
        CLSID = s '{74B7CBE1-A2CE-40F0-AA13-69CBFA4A108D}'
    }
    RNXCOMCore.RNXPipelineManager = s 'RNXPipelineManager Class'
    {
        CLSID = s '{74B7CBE1-A2CE-40F0-AA13-69CBFA4A108D}'
        CurVer = s 'RNXCOMCore.RNXPipelineManager.1'
    }
    NoRemove CLSID
    {
        ForceRemove {74B7CBE1-A2CE-40F0-AA13-69CBFA4A108D} = s 'RNXPipelineManager Class'
        {
            ProgID = s 'RNXCOMCore.RNXPipelineManager.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXPipelineManager'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXQueueScript[] = R"(HKCR
{
    RNXCOMCore.RNXQueue.1 = s 'RNXQueue Class'
    {
        CLSID = s '{28FEC5F2-87B6-487A-9235-41E9F1F9FEF8}'
    }
    RNXCOMCore.RNXQueue = s 'RNXQueue Class'
    {
        CLSID = s '{28FEC5F2-87B6-487A-9235-41E9F1F9FEF8}'
        CurVer = s 'RNXCOMCore.RNXQueue.1'
    }
    NoRemove CLSID
    {
        ForceRemove {28FEC5F2-87B6-487A-9235-41E9F1F9FEF8} = s 'RNXQueue Class'
        {
            ProgID = s 'RNXCOMCore.RNXQueue.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXQueue'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXDestinationScript[] = R"(HKCR
{
    RNXCOMCore.RNXDestination.1 = s 'RNXDestination Class'
    {
        CLSID = s '{C4E1C6B7-D96F-41ED-9F04-3BE1C23EBF46}'
    }
    RNXCOMCore.RNXDestination = s 'RNXDestination Class'
    {
        CLSID = s '{C4E1C6B7-D96F-41ED-9F04-3BE1C23EBF46}'
        CurVer = s 'RNXCOMCore.RNXDestination.1'
    }
    NoRemove CLSID
    {
        ForceRemove {C4E1C6B7-D96F-41ED-9F04-3BE1C23EBF46} = s 'RNXDestination Class'
        {
            ProgID = s 'RNXCOMCore.RNXDestination.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXDestination'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXDestinationModuleScript[] = R"(HKCR
{
    RNXCOMCore.RNXDestinationModule.1 = s 'RNXDestinationModule Class'
    {
        CLSID = s '{9B8FB495-FD5B-4E3E-91CB-46BCD5490978}'
    }
    RNXCOMCore.RNXDestinationModule = s 'RNXDestinationModule Class'
    {
        CLSID = s '{9B8FB495-FD5B-4E3E-91CB-46BCD5490978}'
        CurVer = s 'RNXCOMCore.RNXDestinationModule.1'
    }
    NoRemove CLSID
    {
        ForceRemove {9B8FB495-FD5B-4E3E-91CB-46BCD5490978} = s 'RNXDestinationModule Class'
        {
            ProgID = s 'RNXCOMCore.RNXDestinationModule.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXDestinationModule'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kTestFreeScript[] = R"(HKCR
{
    RNXCOMCore.TestFree.1 = s 'TestFree Class'
    {
        CLSID = s '{168DC3AF-1899-4F89-972E-0F02DFFCFB41}'
    }
    RNXCOMCore.TestFree = s 'TestFree Class'
    {
        CLSID = s '{168DC3AF-1899-4F89-972E-0F02DFFCFB41}'
        CurVer = s 'RNXCOMCore.TestFree.1'
    }
    NoRemove CLSID
    {
        ForceRemove {168DC3AF-1899-4F89-972E-0F02DFFCFB41} = s 'TestFree Class'
        {
            ProgID = s 'RNXCOMCore.TestFree.1'
            VersionIndependentProgID = s 'RNXCOMCore.TestFree'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Free'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXModuleScript[] = R"(HKCR
{
    RNXCOMCore.RNXModule.1 = s 'RNXModule Class'
    {
        CLSID = s '{1886447A-2532-4B5C-9900-514E91065E61}'
    }
    RNXCOMCore.RNXModule = s 'RNXModule Class'
    {
        CLSID = s '{1886447A-2532-4B5C-9900-514E91065E61}'
        CurVer = s 'RNXCOMCore.RNXModule.1'
    }
    NoRemove CLSID
    {
        ForceRemove {1886447A-2532-4B5C-9900-514E91065E61} = s 'RNXModule Class'
        {
            ProgID = s 'RNXCOMCore.RNXModule.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXModule'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXPayloadSourceScript[] = R"(HKCR
{
    RNXCOMCore.RNXPayloadSource.1 = s 'RNXPayloadSource Class'
    {
        CLSID = s '{5584DDC9-7CAF-49CC-8EB3-701957BCDCCD}'
    }
    RNXCOMCore.RNXPayloadSource = s 'RNXPayloadSource Class'
    {
        CLSID = s '{5584DDC9-7CAF-49CC-8EB3-701957BCDCCD}'
        CurVer = s 'RNXCOMCore.RNXPayloadSource.1'
    }
    NoRemove CLSID
    {
        ForceRemove {5584DDC9-7CAF-49CC-8EB3-701957BCDCCD} = s 'RNXPayloadSource Class'
        {
            ProgID = s 'RNXCOMCore.RNXPayloadSource.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXPayloadSource'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXSourceScript[] = R"(HKCR
{
    RNXCOMCore.RNXSource.1 = s 'RNXSource Class'
    {
        CLSID = s '{7AF54028-699A-4798-A079-A220C4026F8C}'
    }
    RNXCOMCore.RNXSource = s 'RNXSource Class'
    {
        CLSID = s '{7AF54028-699A-4798-A079-A220C4026F8C}'
        CurVer = s 'RNXCOMCore.RNXSource.1'
    }
    NoRemove CLSID
    {
        ForceRemove {7AF54028-699A-4798-A079-A220C4026F8C} = s 'RNXSource Class'
        {
            ProgID = s 'RNXCOMCore.RNXSource.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXSource'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXPayloadScript[] = R"(HKCR
{
    RNXCOMCore.RNXPayload.1 = s 'RNXPayload Class'
    {
        CLSID = s '{5A2E8618-93AB-43AA-9F07-E62435D98375}'
    }
    RNXCOMCore.RNXPayload = s 'RNXPayload Class'
    {
        CLSID = s '{5A2E8618-93AB-43AA-9F07-E62435D98375}'
        CurVer = s 'RNXCOMCore.RNXPayload.1'
    }
    NoRemove CLSID
    {
        ForceRemove {5A2E8618-93AB-43AA-9F07-E62435D98375} = s 'RNXPayload Class'
        {
            ProgID = s 'RNXCOMCore.RNXPayload.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXPayload'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kRNXTransformScript[] = R"(HKCR
{
    RNXCOMCore.RNXTransform.1 = s 'RNXTransform Class'
    {
        CLSID = s '{3E490BCD-19F9-4904-A3AE-074061B31E15}'
    }
    RNXCOMCore.RNXTransform = s 'RNXTransform Class'
    {
        CLSID = s '{3E490BCD-19F9-4904-A3AE-074061B31E15}'
        CurVer = s 'RNXCOMCore.RNXTransform.1'
    }
    NoRemove CLSID
    {
        ForceRemove {3E490BCD-19F9-4904-A3AE-074061B31E15} = s 'RNXTransform Class'
        {
            ProgID = s 'RNXCOMCore.RNXTransform.1'
            VersionIndependentProgID = s 'RNXCOMCore.RNXTransform'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

constexpr char kItemsScript[] = R"(HKCR
{
    RNXCOMCore.Items.1 = s 'Items Class'
    {
        CLSID = s '{2AE8FF88-83BB-4939-ACFB-CCE31C79CD22}'
    }
    RNXCOMCore.Items = s 'Items Class'
    {
        CLSID = s '{2AE8FF88-83BB-4939-ACFB-CCE31C79CD22}'
        CurVer = s 'RNXCOMCore.Items.1'
    }
    NoRemove CLSID
    {
        ForceRemove {2AE8FF88-83BB-4939-ACFB-CCE31C79CD22} = s 'Items Class'
        {
            ProgID = s 'RNXCOMCore.Items.1'
            VersionIndependentProgID = s 'RNXCOMCore.Items'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            'TypeLib' = s '%LIBID%'
        }
    }
}
)";

const plat::BinaryResource kBinaries[] = {
    plat::RegistryScript(IDR_APPID, kAppIdScript),
    plat::RegistryScript(IDR_RNXHALWRAP, kRNXHALWrapScript),
    plat::RegistryScript(IDR_RNXRASTERBAND, kRNXRasterBandScript),
    plat::RegistryScript(IDR_RNXRBCONVERT, kRNXRBConvertScript),
    plat::RegistryScript(IDR_RNXINTERCONNECTION, kRNXInterconnectionScript),
    plat::RegistryScript(IDR_XMLOBJ, kXMLObjScript),
    plat::RegistryScript(IDR_RNXPIPELINEMANAGER, kRNXPipelineManagerScript),
    plat::RegistryScript(IDR_RNXQUEUE, kRNXQueueScript),
    plat::RegistryScript(IDR_RNXDESTINATION, kRNXDestinationScript),
    plat::RegistryScript(IDR_RNXDESTINATIONMODULE, kRNXDestinationModuleScript),
    plat::RegistryScript(IDR_TESTFREE, kTestFreeScript),
    plat::RegistryScript(IDR_RNXMODULE, kRNXModuleScript),
    plat::RegistryScript(IDR_RNXPAYLOADSOURCE, kRNXPayloadSourceScript),
    plat::RegistryScript(IDR_RNXSOURCE, kRNXSourceScript),
    plat::RegistryScript(IDR_RNXPAYLOAD, kRNXPayloadScript),
    plat::RegistryScript(IDR_RNXTRANSFORM, kRNXTransformScript),
    plat::RegistryScript(IDR_ITEMS, kItemsScript),
};
const plat::ModuleResources kResources{.binaries = kBinaries};
const plat::ResourceRegistrar kRegistrar(kResources);

} // namespace

std::string_view LoadRegistryScript(WORD id) { return plat::LoadRegistryScript(plat::ThisModule(), id); }
