#include "fetch/fetch_channel.hpp"

#include <algorithm>
#include <cstring>

namespace crawlerview {
namespace {

// Item layout: one tag byte, the payload size as 8 little-endian bytes, the payload.
constexpr unsigned char kTextTag = 'T';
constexpr unsigned char kBytesTag = 'B';
constexpr std::size_t kSizeBytes = 8;
constexpr std::size_t kHeaderBytes = 1 + kSizeBytes;

}  // namespace

void FetchChannel::writeItem(unsigned char tag, const std::uint8_t* data, std::size_t size) {
    bytes_.resize(position_);
    // One allocation for the item, so that a large body is copied into the channel exactly once.
    bytes_.reserve(position_ + kHeaderBytes + size);
    bytes_.push_back(tag);
    auto n = static_cast<std::uint64_t>(size);
    for (std::size_t i = 0; i < kSizeBytes; ++i) {
        bytes_.push_back(static_cast<std::uint8_t>(n & 0xFF));
        n >>= 8;
    }
    bytes_.insert(bytes_.end(), data, data + size);
    position_ = bytes_.size();
}

void FetchChannel::write(const Text& item) {
    writeItem(kTextTag, reinterpret_cast<const std::uint8_t*>(item.data()), item.size());
}

void FetchChannel::write(const ByteBuffer& item) {
    writeItem(kBytesTag, item.data(), item.size());
}

std::optional<FetchChannel::ItemView> FetchChannel::nextItem() {
    const std::size_t available = bytes_.size() - std::min(position_, bytes_.size());
    if (available < kHeaderBytes) {
        position_ = bytes_.size();
        return std::nullopt;
    }
    const unsigned char tag = bytes_[position_];
    std::uint64_t size = 0;
    for (std::size_t i = kSizeBytes; i > 0; --i) {
        size = (size << 8) | bytes_[position_ + i];
    }
    if ((tag != kTextTag && tag != kBytesTag) || size > available - kHeaderBytes) {
        position_ = bytes_.size();
        return std::nullopt;
    }
    ItemView view{tag, position_ + kHeaderBytes, static_cast<std::size_t>(size)};
    position_ = view.offset + view.size;
    return view;
}

Text FetchChannel::readText() {
    const auto item = nextItem();
    if (!item) {
        return {};
    }
    const auto* begin = bytes_.data() + item->offset;
    const auto* end = begin + item->size;
    return Text(begin, std::find(begin, end, std::uint8_t{0}));
}

ByteBuffer FetchChannel::readBytes() {
    const auto item = nextItem();
    if (!item) {
        return {};
    }
    const auto* begin = bytes_.data() + item->offset;
    return ByteBuffer(begin, begin + item->size);
}

void FetchChannel::clear() {
    bytes_.clear();
    position_ = 0;
}

void FetchChannel::close() {
    ByteBuffer().swap(bytes_);
    position_ = 0;
}

void writeRequestRecord(FetchChannel& channel, const RequestRecord& request) {
    channel.write(Text(kRequestMarker));
    for (const Text* item : {&request.url, &request.method, &request.proxy, &request.userName,
                             &request.password, &request.headerLines, &request.postData}) {
        channel.write(*item);
    }
}

std::optional<RequestRecord> readRequestRecord(FetchChannel& channel) {
    channel.rewind();
    if (channel.readText() != kRequestMarker) {
        return std::nullopt;
    }
    RequestRecord request;
    for (Text* item : {&request.url, &request.method, &request.proxy, &request.userName,
                       &request.password, &request.headerLines, &request.postData}) {
        *item = channel.readText();
    }
    return request;
}

void writeReplyRecord(FetchChannel& channel, const Text& headers, const ByteBuffer& body) {
    channel.rewind();
    channel.write(Text(kReplyMarker));
    channel.write(headers);
    channel.write(body);
}

ReplyRecord readReplyRecord(FetchChannel& channel) {
    channel.rewind();
    ReplyRecord reply;
    reply.marker = channel.readText();
    reply.headers = channel.readText();
    reply.body = channel.readBytes();
    return reply;
}

}  // namespace crawlerview
