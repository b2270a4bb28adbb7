// LineBlockWriter: the export writers' output, gathered line by line and written in large blocks.
#ifndef LINTARO_PRINT_LINE_BLOCK_WRITER_H
#define LINTARO_PRINT_LINE_BLOCK_WRITER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "print/byte_sink.h"

// A write per line costs a system call per line, which dominates a large export. The writer
// keeps whole lines (records) in a block and hands the block to the sink once it holds at least
// `block_size` bytes; a line longer than the block makes the block grow to hold it whole.
//
// A failed or short write (a full disk) leaves whole lines only: the sink is moved back to the
// end of the last line it took whole and truncated there, where it can be. The counted lines it
// took whole are the rows written; nothing more is written after a failure.
//
// Lines are built at the end of the block: Room gives space for the bytes to come, Commit
// keeps them, EndLine closes the line. Single-threaded; the sink belongs to the caller.
class LineBlockWriter {
public:
    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

    LineBlockWriter(ByteSink& sink, std::size_t block_size = kDefaultBlockSize);
    // A writer that only gathers lines, for another thread to make them: it never writes, and
    // its lines go out through another writer's AppendLinesOf.
    static std::unique_ptr<LineBlockWriter> Gathering();
    LineBlockWriter(const LineBlockWriter&) = delete;
    LineBlockWriter& operator=(const LineBlockWriter&) = delete;

    // False when the block could not be allocated: nothing can be written.
    bool Ready() const { return buffer_ != nullptr; }

    // Space for `count` more bytes of the current line, or null when the block cannot grow.
    // Valid until the next Room, Append or EndLine.
    char* Room(std::size_t count);
    // Keeps `count` bytes written into the space Room gave.
    void Commit(std::size_t count) { used_ += count; }
    // Room and Commit in one. False when the block cannot grow.
    bool Append(const void* bytes, std::size_t count);

    // Forgets the bytes of the current line (one that could not be assembled whole).
    void DropLine() { used_ = line_start_; }

    // Closes the current line; a `counted` line adds to RowsWritten once the sink has taken it.
    // Writes the block when it is full. False once a write has failed.
    bool EndLine(bool counted);

    // Writes whatever whole or partial line is still held. False when a write failed now or
    // before.
    bool Flush();

    bool Failed() const { return failed_; }

    // Takes the whole lines `lines` gathered, as if they had been made here line by line, and
    // writes the block when it is full. False once a write has failed, or when the block
    // cannot grow (then nothing of `lines` is taken).
    bool AppendLinesOf(const LineBlockWriter& lines);
    // Forgets every line held (a gathering writer, to be used again).
    void Clear();
    std::int64_t RowsWritten() const { return rows_written_; }
    // The whole lines held, for a caller that writes a gathering writer's lines one by one.
    std::size_t LinesHeld() const { return line_ends_.size(); }
    std::string_view LineHeld(std::size_t index) const;
    // The counted lines held, not yet written.
    std::size_t CountedLinesHeld() const { return counted_ends_.size(); }

private:
    LineBlockWriter();  // gathering
    bool Grow(std::size_t needed);
    bool WriteBlock();
    // Writes `size` bytes of whole lines ending at `line_ends` (offsets in `bytes`), of which
    // `counted_ends` are rows; after a short write the sink ends at the last line taken whole.
    bool WriteLines(const char* bytes, std::size_t size, const std::vector<std::uint32_t>& line_ends,
                    const std::vector<std::uint32_t>& counted_ends);

    ByteSink* sink_;  // null while gathering
    std::size_t block_size_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::size_t line_start_ = 0;  // where the current line begins in the block
    std::vector<std::uint32_t> line_ends_;     // end offsets of the lines in the block
    std::vector<std::uint32_t> counted_ends_;  // of those, the counted lines
    std::int64_t rows_written_ = 0;
    std::uint64_t block_start_ = 0;  // where the block goes in the sink
    bool failed_ = false;
};

#endif
