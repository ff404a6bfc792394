#include "fetch/fetch_channel.hpp"

#include <algorithm>
#include <utility>

namespace crawlerview {

void FetchChannel::append(bool isText, ByteBuffer bytes) {
    for (std::size_t i = position_; i < items_.size(); ++i) {
        length_ -= items_[i].bytes.size();
    }
    items_.resize(position_);
    length_ += bytes.size();
    items_.push_back(Item{isText, std::move(bytes)});
    position_ = items_.size();
}

void FetchChannel::write(const Text& item) {
    append(true, toByteBuffer(item));
}

void FetchChannel::write(const ByteBuffer& item) {
    append(false, item);
}

void FetchChannel::write(ByteBuffer&& item) {
    append(false, std::move(item));
}

FetchChannel::Item* FetchChannel::next() {
    if (position_ >= items_.size()) {
        position_ = items_.size();
        return nullptr;
    }
    return &items_[position_++];
}

Text FetchChannel::readText() {
    const Item* item = next();
    return item == nullptr ? Text() : toText(item->bytes);
}

ByteBuffer FetchChannel::readBytes() {
    const Item* item = next();
    return item == nullptr ? ByteBuffer() : item->bytes;
}

ByteBuffer FetchChannel::takeBytes() {
    Item* item = next();
    if (item == nullptr) {
        return {};
    }
    length_ -= item->bytes.size();
    return std::exchange(item->bytes, ByteBuffer());
}

void FetchChannel::clear() {
    items_.clear();
    position_ = 0;
    length_ = 0;
}

void FetchChannel::close() {
    std::vector<Item>().swap(items_);
    position_ = 0;
    length_ = 0;
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

void writeReplyRecord(FetchChannel& channel, const Text& headers, ByteBuffer body) {
    channel.rewind();
    channel.write(Text(kReplyMarker));
    channel.write(headers);
    channel.write(std::move(body));
}

ReplyRecord takeReplyRecord(FetchChannel& channel) {
    channel.rewind();
    ReplyRecord reply;
    reply.marker = channel.readText();
    reply.headers = channel.readText();
    reply.body = channel.takeBytes();
    return reply;
}

}  // namespace crawlerview
