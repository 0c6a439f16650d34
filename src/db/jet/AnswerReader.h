#pragma once
// Parent side of a JetReader call: decodes an answer (see JetWire.h). Every read is
// bounds-checked; anything malformed throws AnswerReader::Garbled.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "db/Value.h"

namespace dsadmin {

class AnswerReader {
  public:
    struct Garbled : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // Checks the magic at the front and the trailer at the end of `answer` (which must
    // outlive this object) and positions after the kind byte.
    explicit AnswerReader(std::string_view answer);

    char kind() const { return kind_; }
    std::uint8_t u8();
    std::uint32_t u32();
    std::string str();
    // One value: its tag and payload.
    Value value();
    // True once everything before the trailer has been read.
    bool atEnd() const { return pos_ == end_; }

  private:
    void need(std::size_t n) const;
    template <class T>
    T fixed();

    std::string_view data_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    char kind_ = 0;
};

}  // namespace dsadmin
