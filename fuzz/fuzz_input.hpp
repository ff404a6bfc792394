// Splitting one fuzz input into the several values a function takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace crawlerview::fuzz {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The bytes up to the next zero byte (or the end), without zero bytes: a Text.
    std::string text() {
        std::string out;
        while (pos_ < size_ && data_[pos_] != 0) {
            out.push_back(static_cast<char>(data_[pos_++]));
        }
        if (pos_ < size_) {
            ++pos_;
        }
        return out;
    }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    bool empty() const { return pos_ >= size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace crawlerview::fuzz
