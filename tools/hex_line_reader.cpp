#include "tools/hex_line_reader.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

HexLineReader::HexLineReader(std::istream& in)
    : in_(in), buffer_(std::make_unique_for_overwrite<char[]>(kReadChunk))
{}

bool HexLineReader::Refill()
{
    // A stream that failed without reaching its end (an unopened file, a
    // device error) is a read failure, not an empty file.
    if (in_.bad() || (in_.fail() && !in_.eof())) {
        failed_ = true;
        return false;
    }
    if (in_.eof())
        return false;
    in_.read(buffer_.get(), static_cast<std::streamsize>(kReadChunk));
    pos_ = 0;
    end_ = static_cast<std::size_t>(in_.gcount());
    if (in_.bad()) {
        failed_ = true;
        end_ = 0;
    }
    return end_ > 0;
}

// Whole runs of characters are copied at a time; the one character beyond
// the room left in the line is looked at only to see whether it is the line
// feed after a carriage return.
bool HexLineReader::Next(std::string_view& line)
{
    std::size_t length = 0;
    for (;;) {
        if (pos_ == end_ && !Refill()) {
            if (failed_ || length == 0)
                return false;
            break;
        }
        const std::size_t room = kMaxLine - length;
        const char* start = buffer_.get() + pos_;
        const std::size_t scan = std::min(end_ - pos_, room + 1);
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', scan));
        if (lf != nullptr) {
            const auto before = static_cast<std::size_t>(lf - start);
            std::memcpy(line_.data() + length, start, before);
            length += before;
            const bool crlf = length > 0 && line_[length - 1] == '\r';
            if (before == room && !crlf) {
                // 127 characters and then the line feed: the line is full and
                // the line feed is left to end an empty next line.
                pos_ += before;
                consumed_ += before;
                break;
            }
            pos_ += before + 1;
            consumed_ += before + 1;
            if (crlf)
                --length;
            break;
        }
        const std::size_t take = std::min(scan, room);
        std::memcpy(line_.data() + length, start, take);
        length += take;
        pos_ += take;
        consumed_ += take;
        if (scan == room + 1)
            break; // full, and the next character is not a line feed
    }
    line = std::string_view(line_.data(), length);
    return true;
}

} // namespace kestrum
