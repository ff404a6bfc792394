#include "fetch/fetch_channel.hpp"

#include <gtest/gtest.h>

namespace crawlerview {
namespace {

TEST(FetchChannel, ItemsReadBackExactlyInOrder) {
    FetchChannel channel;
    const ByteBuffer withZeros{0, 'a', 0, 0xFF, 0};
    channel.write(Text("first"));
    channel.write(withZeros);
    channel.write(Text());
    channel.write(ByteBuffer());
    channel.write(Text("\xD6\xD0\xCE\xC4"));
    channel.rewind();
    EXPECT_EQ(channel.readText(), "first");
    EXPECT_EQ(channel.readBytes(), withZeros);
    EXPECT_EQ(channel.readText(), "");
    EXPECT_EQ(channel.readBytes(), ByteBuffer());
    EXPECT_EQ(channel.readText(), "\xD6\xD0\xCE\xC4");
    // Past the end: empty items, again and again.
    EXPECT_EQ(channel.readText(), "");
    EXPECT_EQ(channel.readBytes(), ByteBuffer());
}

TEST(FetchChannel, ClearEmptiesAndLengthCountsEverything) {
    FetchChannel channel;
    EXPECT_EQ(channel.length(), 0u);
    channel.write(Text("abc"));
    EXPECT_EQ(channel.length(), 3u);
    channel.write(ByteBuffer{0, 0});
    EXPECT_EQ(channel.length(), 5u);
    channel.clear();
    EXPECT_EQ(channel.length(), 0u);
    EXPECT_EQ(channel.readText(), "");
    channel.write(Text("x"));
    channel.rewind();
    EXPECT_EQ(channel.readText(), "x");
}

TEST(FetchChannel, WritingAfterRewindReplacesWhatFollows) {
    FetchChannel channel;
    channel.write(Text("old one"));
    channel.write(Text("old two"));
    channel.rewind();
    channel.write(Text("new"));
    EXPECT_EQ(channel.length(), 3u);
    channel.rewind();
    EXPECT_EQ(channel.readText(), "new");
    EXPECT_EQ(channel.readText(), "");
}

TEST(FetchChannel, TakingMovesTheBytesOut) {
    FetchChannel channel;
    ByteBuffer body(100000, 7);
    const auto* storage = body.data();
    channel.write(std::move(body));
    channel.rewind();
    const ByteBuffer taken = channel.takeBytes();
    EXPECT_EQ(taken.data(), storage);  // the same memory, not a copy
    EXPECT_EQ(taken.size(), 100000u);
    EXPECT_EQ(channel.length(), 0u);
    channel.rewind();
    EXPECT_TRUE(channel.readBytes().empty());
}

TEST(FetchChannel, OtherTypeIsConverted) {
    FetchChannel channel;
    channel.write(ByteBuffer{'a', 'b', 0, 'c'});
    channel.write(Text("xy"));
    channel.rewind();
    EXPECT_EQ(channel.readText(), "ab");
    EXPECT_EQ(channel.readBytes(), (ByteBuffer{'x', 'y'}));
}

TEST(FetchRecords, RequestRoundTripWithEmptyItems) {
    FetchChannel channel;
    RequestRecord request;
    request.url = "http://a.cn/";
    request.headerLines = "User-Agent: x\r\n";
    writeRequestRecord(channel, request);
    const auto read = readRequestRecord(channel);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->url, request.url);
    EXPECT_EQ(read->method, "");
    EXPECT_EQ(read->proxy, "");
    EXPECT_EQ(read->userName, "");
    EXPECT_EQ(read->password, "");
    EXPECT_EQ(read->headerLines, request.headerLines);
    EXPECT_EQ(read->postData, "");
}

TEST(FetchRecords, ForeignMarkersAreRejected) {
    for (const Text marker : {"quillax", "Quillax ", "Quillax_OK", ""}) {
        SCOPED_TRACE(marker);
        FetchChannel channel;
        channel.write(marker);
        channel.write(Text("http://a.cn/"));
        const auto before = channel.length();
        EXPECT_FALSE(readRequestRecord(channel).has_value());
        EXPECT_EQ(channel.length(), before);
    }
}

TEST(FetchRecords, ReplyMarkerAloneMakesAReply) {
    FetchChannel channel;
    writeReplyRecord(channel, "", ByteBuffer());
    const auto reply = takeReplyRecord(channel);
    EXPECT_EQ(reply.marker, kReplyMarker);
    EXPECT_EQ(reply.headers, "");
    EXPECT_TRUE(reply.body.empty());
}

TEST(FetchRecords, ChannelStillHoldingTheRequestIsNoReply) {
    FetchChannel channel;
    writeRequestRecord(channel, RequestRecord{"http://a.cn/", "", "", "", "", "", ""});
    EXPECT_EQ(takeReplyRecord(channel).marker, kRequestMarker);
    FetchChannel empty;
    EXPECT_EQ(takeReplyRecord(empty).marker, "");
}

TEST(FetchRecords, ReplyBodyKeepsZeroBytes) {
    FetchChannel channel;
    ByteBuffer body(3000);
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<std::uint8_t>(i * 7);
    }
    writeReplyRecord(channel, "HTTP/1.1 200 OK\r\n\r\n", body);
    const auto reply = takeReplyRecord(channel);
    EXPECT_EQ(reply.headers, "HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_EQ(reply.body, body);
}

}  // namespace
}  // namespace crawlerview
