// The one piece of memory that a fetch's caller and its worker thread share: an in-memory file
// of typed items (Text and ByteBuffer) with one read/write position. Exclusive use is by
// hand-over, without a lock: the caller writes the request before the worker starts and reads
// the reply only after the worker has ended. Both hold a std::shared_ptr to it, so a worker
// abandoned after a time-out can never see it freed; the caller then simply never reads it again.
#pragma once

#include <cstddef>
#include <optional>

#include "text/text.hpp"

namespace crawlerview {

inline constexpr char kRequestMarker[] = "Quillax";
inline constexpr char kReplyMarker[] = "Quillax_OK";

class FetchChannel {
  public:
    // Writing at the position replaces whatever stood from there on: the item is appended to what
    // precedes the position, and the position moves past it.
    void write(const Text& item);
    void write(const ByteBuffer& item);

    // Reads the item at the position and moves past it. Past the end, or where the stored bytes do
    // not form an item, gives an empty item and leaves the position at the end. An item stored as
    // the other type is converted (a ByteBuffer read as Text stops at its first zero byte).
    Text readText();
    ByteBuffer readBytes();

    void rewind() { position_ = 0; }
    // Removes every item; the position goes to the start.
    void clear();
    // Total size, in bytes, of what the channel holds.
    std::size_t length() const { return bytes_.size(); }
    // Releases the memory; the channel is empty afterwards.
    void close();

  private:
    void writeItem(unsigned char tag, const std::uint8_t* data, std::size_t size);
    // The next item's tag and payload span; nullopt (position to the end) when malformed.
    struct ItemView {
        unsigned char tag;
        std::size_t offset;
        std::size_t size;
    };
    std::optional<ItemView> nextItem();

    ByteBuffer bytes_;
    std::size_t position_ = 0;
};

struct RequestRecord {
    Text url, method, proxy, userName, password, headerLines, postData;
};

struct ReplyRecord {
    Text marker;
    Text headers;
    ByteBuffer body;
};

// The caller's side: marker "Quillax" and the seven request items.
void writeRequestRecord(FetchChannel& channel, const RequestRecord& request);
// The worker's side: rewinds and reads the marker; nullopt (channel untouched beyond reading)
// when it is not exactly "Quillax".
std::optional<RequestRecord> readRequestRecord(FetchChannel& channel);

// The worker's side: rewinds and writes marker "Quillax_OK", the header block and the body.
void writeReplyRecord(FetchChannel& channel, const Text& headers, const ByteBuffer& body);
// The caller's side: rewinds and reads (Text, Text, ByteBuffer). Whether it counts is the
// caller's judgement (marker and time-out).
ReplyRecord readReplyRecord(FetchChannel& channel);

}  // namespace crawlerview
