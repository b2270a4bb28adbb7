// LineBlockWriter: whole lines gathered in a block, written to the sink a block at a time.
#include "print/line_block_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

LineBlockWriter::LineBlockWriter(ByteSink& sink, std::size_t block_size)
    : sink_(&sink), block_size_(std::max<std::size_t>(block_size, 1)) {
    // Room for a block and the line that fills it, so that ordinary lines never move it.
    Grow(block_size_ + block_size_ / 4 + 1024);
    // A line takes at least its CR LF.
    line_ends_.reserve(block_size_ / 2 + 1);
    counted_ends_.reserve(block_size_ / 2 + 1);
}

LineBlockWriter::LineBlockWriter() : sink_(nullptr), block_size_(SIZE_MAX) {
    Grow(kDefaultBlockSize);
}

std::unique_ptr<LineBlockWriter> LineBlockWriter::Gathering() {
    return std::unique_ptr<LineBlockWriter>(new (std::nothrow) LineBlockWriter());
}

bool LineBlockWriter::AppendLinesOf(const LineBlockWriter& lines) {
    if (failed_) return false;
    if (lines.used_ == 0) return true;
    // A block's worth of lines behind an empty block goes out from where it was gathered.
    if (used_ == 0 && lines.used_ >= block_size_ && sink_ != nullptr) {
        return WriteLines(lines.buffer_.get(), lines.used_, lines.line_ends_, lines.counted_ends_);
    }
    if (buffer_ == nullptr || lines.used_ > SIZE_MAX - used_ || used_ + lines.used_ > UINT32_MAX ||
        !Grow(used_ + lines.used_)) {
        return false;
    }
    const auto offset = static_cast<std::uint32_t>(used_);
    try {
        line_ends_.reserve(line_ends_.size() + lines.line_ends_.size());
        counted_ends_.reserve(counted_ends_.size() + lines.counted_ends_.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::memcpy(buffer_.get() + used_, lines.buffer_.get(), lines.used_);
    for (const std::uint32_t end : lines.line_ends_) line_ends_.push_back(offset + end);
    for (const std::uint32_t end : lines.counted_ends_) counted_ends_.push_back(offset + end);
    used_ += lines.used_;
    line_start_ = used_;
    return used_ < block_size_ || WriteBlock();
}

std::string_view LineBlockWriter::LineHeld(std::size_t index) const {
    if (index >= line_ends_.size()) return {};
    const std::size_t start = index == 0 ? 0 : line_ends_[index - 1];
    return std::string_view(buffer_.get() + start, line_ends_[index] - start);
}

void LineBlockWriter::Clear() {
    line_ends_.clear();
    counted_ends_.clear();
    used_ = 0;
    line_start_ = 0;
}

bool LineBlockWriter::Grow(std::size_t needed) {
    if (needed <= capacity_) return true;
    const std::size_t capacity = std::max(needed, capacity_ + capacity_ / 2);
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
    if (grown == nullptr) return false;
    if (used_ > 0) std::memcpy(grown.get(), buffer_.get(), used_);
    buffer_ = std::move(grown);
    capacity_ = capacity;
    return true;
}

char* LineBlockWriter::Room(std::size_t count) {
    if (buffer_ == nullptr || count > SIZE_MAX - used_ || !Grow(used_ + count)) return nullptr;
    return buffer_.get() + used_;
}

bool LineBlockWriter::Append(const void* bytes, std::size_t count) {
    if (count == 0) return true;
    char* room = Room(count);
    if (room == nullptr) return false;
    std::memcpy(room, bytes, count);
    used_ += count;
    return true;
}

bool LineBlockWriter::EndLine(bool counted) {
    if (failed_) return false;
    const auto end = static_cast<std::uint32_t>(std::min<std::size_t>(used_, UINT32_MAX));
    line_ends_.push_back(end);
    if (counted) counted_ends_.push_back(end);
    if (used_ < block_size_ || sink_ == nullptr) {
        line_start_ = used_;
        return true;
    }
    return WriteBlock();
}

bool LineBlockWriter::Flush() {
    if (failed_) return false;
    return used_ == 0 || sink_ == nullptr || WriteBlock();
}

bool LineBlockWriter::WriteBlock() {
    WriteLines(buffer_.get(), used_, line_ends_, counted_ends_);
    line_ends_.clear();
    counted_ends_.clear();
    used_ = 0;
    line_start_ = 0;
    return !failed_;
}

bool LineBlockWriter::WriteLines(const char* bytes, std::size_t size, const std::vector<std::uint32_t>& line_ends,
                                 const std::vector<std::uint32_t>& counted_ends) {
    const std::size_t taken = sink_->Write(bytes, size);
    // The rows are the counted lines the sink took to their last byte.
    const auto whole = std::upper_bound(counted_ends.begin(), counted_ends.end(), taken);
    rows_written_ += whole - counted_ends.begin();
    if (taken < size) {
        failed_ = true;
        // Back to the end of the last line taken whole, and the file ends there.
        const auto line = std::upper_bound(line_ends.begin(), line_ends.end(), taken);
        const std::uint64_t end = block_start_ + (line == line_ends.begin() ? 0 : *(line - 1));
        if (end <= UINT32_MAX && sink_->Seek(static_cast<std::uint32_t>(end))) sink_->Truncate();
    }
    block_start_ += taken;
    return !failed_;
}
