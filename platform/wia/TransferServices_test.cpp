#include "platform/wia/WiaItem.h"
#include "platform/wia/wiatransfer.h"

#include "platform/base/winerror.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct RecordingCallback final : IWiaMiniDrvCallBack {
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT MiniDrvCallback(LONG lReason, LONG lStatus, LONG, LONG, LONG, PMINIDRV_TRANSFER_CONTEXT context,
                            LONG) override
    {
        reasons.push_back(lReason);
        statuses.push_back(lStatus);
        pages.push_back(context->lPage);
        return answer;
    }
    std::vector<LONG> reasons, statuses, pages;
    HRESULT answer = S_OK;
};

TEST(TransferServices, EndOfPageTellsTheCallbackWithThePageCount)
{
    plat::wia::WiaItem item(WiaItemTypeImage);
    RecordingCallback callback;
    MINIDRV_TRANSFER_CONTEXT transfer{};
    transfer.pIWiaMiniDrvCallBack = &callback;
    EXPECT_EQ(S_OK, wiasSendEndOfPage(item.Context(), 3, &transfer));
    callback.answer = S_FALSE;
    EXPECT_EQ(S_FALSE, wiasSendEndOfPage(item.Context(), 4, &transfer));
    EXPECT_EQ((std::vector<LONG>{IT_MSG_NEW_PAGE, IT_MSG_NEW_PAGE}), callback.reasons);
    EXPECT_EQ((std::vector<LONG>{IT_STATUS_TRANSFER_TO_CLIENT, IT_STATUS_TRANSFER_TO_CLIENT}), callback.statuses);
    EXPECT_EQ((std::vector<LONG>{3, 4}), callback.pages);

    transfer.pIWiaMiniDrvCallBack = nullptr;
    EXPECT_EQ(E_INVALIDARG, wiasSendEndOfPage(item.Context(), 5, &transfer));
}

TEST(TransferServices, PageBufferGoesToTheFileWholeOrNotAtAll)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::vector<BYTE> page(100000);
    for (size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<BYTE>(i * 7);
    MINIDRV_TRANSFER_CONTEXT transfer{};
    transfer.hFile = fileno(file);
    transfer.pTransferBuffer = page.data();
    transfer.lBufferSize = static_cast<LONG>(page.size());
    transfer.lItemSize = 99999;
    ASSERT_EQ(S_OK, wiasWritePageBufToFile(&transfer));
    std::vector<BYTE> written(page.size());
    ASSERT_EQ(99999, pread(fileno(file), written.data(), written.size(), 0));
    EXPECT_TRUE(std::equal(page.begin(), page.begin() + 99999, written.begin()));

    // An item larger than its buffer, or no file, writes nothing.
    transfer.lItemSize = 100001;
    EXPECT_EQ(E_INVALIDARG, wiasWritePageBufToFile(&transfer));
    transfer.lItemSize = 10;
    transfer.hFile = -1;
    EXPECT_EQ(E_INVALIDARG, wiasWritePageBufToFile(&transfer));
    EXPECT_EQ(99999, lseek(fileno(file), 0, SEEK_END));
    std::fclose(file);
}

} // namespace
