#include "platform/rpc/ProxyStubArgs.h"
#include "platform/rpc/Wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace plat::rpc {
namespace {

Bytes HeaderBytes(std::uint32_t magic, std::uint32_t type, std::uint32_t length)
{
    MessageWriter writer;
    writer.WriteU32(magic);
    writer.WriteU32(type);
    writer.WriteU32(7);
    writer.WriteU32(length);
    return writer.Data();
}

TEST(WireTest, HeaderDecodingRefusesWhatIsNotAFrame)
{
    struct Case {
        const char* what;
        std::uint32_t magic;
        std::uint32_t type;
        std::uint32_t length;
        bool accepted;
    };
    const Case cases[] = {
        {"request", kFrameMagic, 1, 100, true},
        {"reply at the largest body", kFrameMagic, 2, kMaxFrameBody, true},
        {"wrong magic", 0x12345678, 1, 0, false},
        {"type 0", kFrameMagic, 0, 0, false},
        {"unknown type", kFrameMagic, 3, 0, false},
        {"body too long", kFrameMagic, 2, kMaxFrameBody + 1, false},
        {"negative length", kFrameMagic, 2, 0xFFFFFFFFu, false},
    };
    for (const Case& c : cases) {
        auto bytes = HeaderBytes(c.magic, c.type, c.length);
        std::uint8_t raw[kFrameHeaderSize];
        std::copy(bytes.begin(), bytes.end(), raw);
        FrameHeader header;
        EXPECT_EQ(DecodeHeader(raw, header), c.accepted) << c.what;
        if (c.accepted) {
            EXPECT_EQ(header.callId, 7u);
            EXPECT_EQ(header.bodyLength, c.length);
        }
    }
}

TEST(WireTest, FramesTravelWholeAndATruncatedFrameIsRefused)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    Bytes first{1, 2, 3};
    Bytes second(100000, 0xAB);
    FrameHeader out{FrameType::Request, 42, static_cast<std::uint32_t>(first.size() + second.size())};
    std::thread writer(
        [&] { EXPECT_TRUE(WriteFrame(pair[0], out, first.data(), first.size(), second.data(), second.size())); });
    FrameHeader in;
    Bytes body;
    ASSERT_TRUE(ReadFrame(pair[1], in, body));
    writer.join();
    EXPECT_EQ(in.callId, 42u);
    ASSERT_EQ(body.size(), 100003u);
    EXPECT_EQ(body[2], 3);
    EXPECT_EQ(body[100002], 0xAB);

    // A header that promises more than comes before the end of the stream.
    auto header = HeaderBytes(kFrameMagic, 1, 50);
    ASSERT_EQ(write(pair[0], header.data(), header.size()), static_cast<ssize_t>(header.size()));
    ASSERT_EQ(write(pair[0], "abc", 3), 3);
    close(pair[0]);
    EXPECT_FALSE(ReadFrame(pair[1], in, body));
    close(pair[1]);
}

// A reply's head and its results land in separate buffers however the
// bytes arrive; a stream that ends early fails the read.
TEST(WireTest, FrameBytesSplitIntoTwoPlaces)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    Bytes sent(200000);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i * 7);
    std::thread writer([&] {
        // Uneven pieces, the first shorter than the head.
        size_t at = 0;
        for (size_t piece : {size_t{3}, size_t{10}, size_t{150000}, size_t{49987}}) {
            EXPECT_EQ(write(pair[0], sent.data() + at, piece), static_cast<ssize_t>(piece));
            at += piece;
        }
    });
    std::uint8_t head[8];
    Bytes rest(sent.size() - sizeof head);
    ASSERT_TRUE(ReadFrameParts(pair[1], head, sizeof head, rest.data(), rest.size()));
    writer.join();
    EXPECT_EQ(std::memcmp(head, sent.data(), sizeof head), 0);
    EXPECT_EQ(std::memcmp(rest.data(), sent.data() + sizeof head, rest.size()), 0);

    // No results at all.
    ASSERT_EQ(write(pair[0], "headhead", 8), 8);
    EXPECT_TRUE(ReadFrameParts(pair[1], head, sizeof head, nullptr, 0));

    ASSERT_EQ(write(pair[0], "abcdefghij", 10), 10);
    close(pair[0]);
    EXPECT_FALSE(ReadFrameParts(pair[1], head, sizeof head, rest.data(), 5));
    close(pair[1]);
}

TEST(WireTest, BorrowedRunsGoOutInTheirPlace)
{
    std::vector<BYTE> band(3 * MessageWriter::kBorrowAtLeast);
    for (size_t i = 0; i < band.size(); ++i)
        band[i] = static_cast<BYTE>(i * 13);
    auto fill = [&band](MessageWriter& w) {
        w.WriteU32(1);
        w.WriteSizedBytes(band.data(), static_cast<std::uint32_t>(band.size()));
        w.WriteU8(2);
        w.WriteSizedBytes(band.data(), 10); // small runs are copied anyway
        w.WriteSizedBytes(band.data() + 1, static_cast<std::uint32_t>(band.size() - 1));
    };
    MessageWriter copied;
    fill(copied);
    MessageWriter borrowing;
    borrowing.AllowBorrowing();
    fill(borrowing);
    EXPECT_EQ(borrowing.Size(), copied.Size());
    EXPECT_LT(borrowing.Data().size(), 100u);

    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    std::vector<iovec> pieces;
    borrowing.AppendPieces(pieces);
    FrameHeader out{FrameType::Reply, 9, static_cast<std::uint32_t>(borrowing.Size())};
    std::thread writer([&] { EXPECT_TRUE(WriteFramePieces(pair[0], out, pieces)); });
    FrameHeader in;
    Bytes body;
    ASSERT_TRUE(ReadFrame(pair[1], in, body));
    writer.join();
    EXPECT_TRUE(body == copied.Data());
    close(pair[0]);
    close(pair[1]);
}

TEST(WireTest, ReaderFailsPastTheEndAndStaysFailed)
{
    MessageWriter writer;
    writer.WriteU32(5);
    writer.WriteU8(9);
    MessageReader reader(writer.Data().data(), writer.Data().size());
    std::uint32_t size = 0;
    const std::uint8_t* data = nullptr;
    EXPECT_FALSE(reader.ReadSizedBytes(data, size)); // claims 5 bytes, has 1
    std::uint8_t byte = 0;
    EXPECT_FALSE(reader.ReadU8(byte));
    EXPECT_FALSE(reader.Ok());
}

TEST(WireTest, BstrsKeepLengthEmbeddedNullsAndNullness)
{
    const OLECHAR withNull[] = {u'a', 0, u'b'};
    BSTR values[] = {nullptr, SysAllocString(u""), SysAllocStringLen(withNull, 3), SysAllocString(u"Produce")};
    MessageWriter writer;
    for (BSTR value : values)
        WriteBstr(writer, value);
    MessageReader reader(writer.Data().data(), writer.Data().size());
    for (BSTR value : values) {
        BSTR back = nullptr;
        ASSERT_TRUE(ReadBstr(reader, back));
        ASSERT_EQ(back == nullptr, value == nullptr);
        if (value) {
            ASSERT_EQ(SysStringByteLen(back), SysStringByteLen(value));
            EXPECT_EQ(0, memcmp(back, value, SysStringByteLen(value)));
        }
        SysFreeString(back);
        SysFreeString(value);
    }
    EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(WireTest, ByteArrayVariantComesBackInPlaceWhenTheSizeMatches)
{
    SAFEARRAY* mine = SafeArrayCreateVector(VT_UI1, 0, 4);
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_ARRAY | VT_UI1;
    target.parray = mine;
    void* before = mine->pvData;

    auto replyWith = [](ULONG count, BYTE fill) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_ARRAY | VT_UI1;
        value.parray = SafeArrayCreateVector(VT_UI1, 0, count);
        std::memset(value.parray->pvData, fill, count);
        MessageWriter writer;
        EXPECT_EQ(WriteVariant(writer, value), S_OK);
        VariantClear(&value);
        return writer.Data();
    };

    auto same = replyWith(4, 0x5A);
    MessageReader reader(same.data(), same.size());
    ASSERT_TRUE(ReadVariantInPlace(reader, target));
    EXPECT_EQ(target.parray, mine);
    EXPECT_EQ(target.parray->pvData, before);
    EXPECT_EQ(static_cast<BYTE*>(before)[3], 0x5A);

    auto bigger = replyWith(6, 0x11);
    MessageReader second(bigger.data(), bigger.size());
    ASSERT_TRUE(ReadVariantInPlace(second, target));
    ASSERT_EQ(target.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(target.parray->rgsabound[0].cElements, 6u);
    VariantClear(&target);
}

// A stub's [in] byte array is the request's own bytes: a callee sees them
// with their bounds, cannot free them, and the stub takes the array back.
TEST(WireTest, AnInByteArrayIsLentFromTheRequest)
{
    VARIANT band;
    VariantInit(&band);
    band.vt = VT_ARRAY | VT_UI1;
    band.parray = SafeArrayCreateVector(VT_UI1, 3, 5);
    std::memcpy(band.parray->pvData, "bytes", 5);
    MessageWriter writer;
    writer.WriteU8(1);
    ASSERT_EQ(WriteVariant(writer, band), S_OK);
    VariantClear(&band);

    MessageReader reader(writer.Data().data(), writer.Data().size());
    {
        StubVariantIn in;
        ASSERT_TRUE(in.Read(reader));
        VARIANT* lent = in.Arg();
        ASSERT_EQ(lent->vt, VT_ARRAY | VT_UI1);
        LONG lower = 0;
        LONG upper = 0;
        ASSERT_EQ(SafeArrayGetLBound(lent->parray, 1, &lower), S_OK);
        ASSERT_EQ(SafeArrayGetUBound(lent->parray, 1, &upper), S_OK);
        EXPECT_EQ(lower, 3);
        EXPECT_EQ(upper, 7);
        const BYTE* inRequest = writer.Data().data() + writer.Data().size() - 5;
        EXPECT_EQ(lent->parray->pvData, inRequest);
        void* data = nullptr;
        ASSERT_EQ(SafeArrayAccessData(lent->parray, &data), S_OK);
        EXPECT_EQ(std::memcmp(data, "bytes", 5), 0);
        EXPECT_EQ(SafeArrayUnaccessData(lent->parray), S_OK);
        // A callee clearing what it was only lent.
        EXPECT_EQ(VariantClear(lent), DISP_E_ARRAYISLOCKED);
    }
    EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(WireTest, VariantsOfOtherTypesAreRefusedWithoutWritingAnything)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R8;
    MessageWriter writer;
    EXPECT_EQ(WriteVariant(writer, value), DISP_E_BADVARTYPE);
    EXPECT_TRUE(writer.Data().empty());

    // A forged type or array length from the wire.
    MessageWriter forged;
    forged.WriteU32(VT_ARRAY | VT_UI1);
    forged.WriteU8(1);
    forged.WriteI32(0);
    forged.WriteU32(1000); // promises 1000 bytes, sends 2
    forged.WriteU8(1);
    forged.WriteU8(2);
    MessageReader reader(forged.Data().data(), forged.Data().size());
    VARIANT back;
    VariantInit(&back);
    EXPECT_FALSE(ReadVariant(reader, back));
    EXPECT_EQ(back.vt, VT_EMPTY);
}

} // namespace
} // namespace plat::rpc
