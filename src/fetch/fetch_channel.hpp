// The one piece of memory that a fetch's caller and its worker thread share: an in-memory file
// of typed items (Text and ByteBuffer) with one read/write position. Exclusive use is by
// hand-over, without a lock: the caller writes the request before the worker starts and reads
// the reply only after the worker has ended. Both hold a std::shared_ptr to it, so a worker
// abandoned after a time-out can never see it freed; the caller then simply never reads it again.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "text/text.hpp"

namespace crawlerview {

inline constexpr char kRequestMarker[] = "Quillax";
inline constexpr char kReplyMarker[] = "Quillax_OK";

class FetchChannel {
  public:
    // Writing at the position replaces whatever stood from there on: the item is appended to what
    // precedes the position, and the position moves past it. A ByteBuffer passed as an rvalue is
    // moved in, so that a large body is never copied on its way into the channel.
    void write(const Text& item);
    void write(const ByteBuffer& item);
    void write(ByteBuffer&& item);

    // Reads the item at the position and moves past it. Past the end gives an empty item. An item
    // stored as the other type is converted (a ByteBuffer read as Text stops at its first zero).
    Text readText();
    ByteBuffer readBytes();
    // As readBytes, but moves the item's bytes out, leaving an empty item in its place.
    ByteBuffer takeBytes();

    void rewind() { position_ = 0; }
    // Removes every item; the position goes to the start.
    void clear();
    // Total size, in bytes, of the items the channel holds.
    std::size_t length() const { return length_; }
    // Releases the memory; the channel is empty afterwards.
    void close();

  private:
    struct Item {
        bool isText;
        ByteBuffer bytes;
    };
    void append(bool isText, ByteBuffer bytes);
    Item* next();

    std::vector<Item> items_;
    std::size_t position_ = 0;  // index of the next item
    std::size_t length_ = 0;
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
void writeReplyRecord(FetchChannel& channel, const Text& headers, ByteBuffer body);
// The caller's side: rewinds and reads (Text, Text, ByteBuffer), moving the body out of the
// channel, which the caller closes next. Whether it counts is the caller's judgement (marker and
// time-out).
ReplyRecord takeReplyRecord(FetchChannel& channel);

}  // namespace crawlerview
