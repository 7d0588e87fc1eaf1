// A class published to other processes serves only its own user's.
#include "platform/base/sysroot.h"
#include "platform/com/ComTesting.h"
#include "platform/rpc/Wire.h"
#include "platform/rpc/rpc.h"
#include "platform/rpc/testing/CountingFactory.h"
#include "platform/testing/OtherUser.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

namespace plat::rpc {
namespace {

TEST(LocalServerTest, AnotherUserIsTurnedAwayByAClassSocket)
{
    plat::testing::TempSystemRoot root;
    plat::testing::ComScope com;
    const CLSID clsid = MakeGuid("0C1A55E5-0000-4000-8000-0000000F0E15");
    testing::CountingFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    const std::string socket = RuntimeFolder() + "/com-" + GuidToString(clsid) + ".sock";
    plat::testing::OpenPathToOthers(root.Path(), socket);

    // The other user asks for the class object, as every client begins.
    MessageWriter request;
    std::uint8_t header[kFrameHeaderSize];
    EncodeHeader({FrameType::Request, 1, 8 + 16 + 4 + 16 + 16}, header);
    request.WriteBytes(header, sizeof header);
    request.WriteU64(kRootObject);
    request.WriteGuid(IID_IUnknown);
    request.WriteU32(kGetClassObject);
    request.WriteGuid(clsid);
    request.WriteGuid(IID_IClassFactory);
    std::string answer;
    const bool ran = plat::testing::RunAsOtherUser(
        [&](int out) { plat::testing::TryServer(out, socket.c_str(), request.Data().data(), request.Data().size()); },
        answer);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    if (!ran)
        GTEST_SKIP() << "cannot switch to another user here";

    // It is told no, and gets nothing else.
    MessageWriter refusal;
    EncodeHeader({FrameType::Reply, kRefusalCallId, 8}, header);
    refusal.WriteBytes(header, sizeof header);
    refusal.WriteU32(1);
    refusal.WriteI32(E_ACCESSDENIED);
    EXPECT_EQ(answer, std::string(refusal.Data().begin(), refusal.Data().end()));
    EXPECT_EQ(factory.refs, 1u);
}

} // namespace
} // namespace plat::rpc
