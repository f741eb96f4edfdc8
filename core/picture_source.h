// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a decoder reads a picture from: an open picture file, read in pieces of 64 KB as the
// decoder asks for them, so that a picture costs its decoder's memory and never its file's size;
// or bytes already in memory, which may be only the beginning of a file (for reading headers).
// The three decoders read through it alone, so a file and a buffer are decoded alike.

#include "platform/file_ops.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qlm {

class PictureSource {
  public:
    // A source with no bytes until Open.
    PictureSource() = default;
    ~PictureSource();
    // The bytes [data, data + size), which must outlive the source. `whole` false: they are only
    // the beginning of a file, and running out of them means that more are needed, not that the
    // file ends there.
    PictureSource(const std::uint8_t* data, std::size_t size, bool whole);
    PictureSource(const PictureSource&) = delete;
    PictureSource& operator=(const PictureSource&) = delete;

    // Opens the picture file `path` for reading from its start. Gives 0, or the errno of
    // platform::OpenRegularFile: only a regular file is opened, and nothing of it is read yet.
    // `first_read`, when given, is the most the first read takes: a reader of the headers alone
    // copies no more of the file than headers usually fill.
    int Open(const std::string& path, std::size_t first_read = 0);
    // Opens `path` as Open does but without asking what kind of file it is, for a reader of the
    // headers of many pictures: CheckRegular tells, where the reading went wrong.
    int OpenUnchecked(const std::string& path, std::size_t first_read);
    // 0 for bytes in memory or a regular file, else the errno Open would have given for the file.
    int CheckRegular();

    // Makes the next bytes available at next() (at least one); false at the end of the bytes or
    // when reading failed. The bytes stay valid until the next Fill.
    bool Fill();
    const std::uint8_t* next() const { return next_; }
    std::size_t available() const { return static_cast<std::size_t>(end_ - next_); }
    void Consume(std::size_t count) { next_ += count; }

    // Copies up to `count` bytes; fewer only at the end of the bytes or when reading failed.
    std::size_t Read(std::uint8_t* out, std::size_t count);
    // Passes over `count` bytes without reading them where it can.
    void Skip(std::uint64_t count);

    // A read wanted more bytes than there were (or reading failed).
    bool ended() const { return ended_; }
    // The bytes ran out and they are only the beginning of a file: the caller needs more of it.
    bool needs_more() const { return ended_ && !whole_ && failure_.empty(); }
    // Reading the file failed, it became shorter while it was read, or it is too large to be read
    // on; failure() is the text for the DecodeError.
    bool failed() const { return !failure_.empty(); }
    const std::string& failure() const { return failure_; }

  private:
    int Opened(std::size_t first_read);
    bool FillFromFile();
    bool Fail(std::string text);
    // The size of the file when it was opened, or (OpenUnchecked) when first asked for.
    std::uint64_t FileSize();

    platform::FileDescriptor file_;
    std::uint64_t file_size_ = 0; // when opened
    bool size_known_ = true;      // false after OpenUnchecked until FileSize or CheckRegular
    std::uint64_t position_ = 0;  // in the file, of the end of the bytes read so far
    // Not cleared when made: every byte is read into before it is used.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t buffer_size_ = 0;
    std::size_t next_read_ = 0; // the most the next read takes, or 0 for the buffer's size
    const std::uint8_t* next_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    bool whole_ = true;
    bool ended_ = false;
    std::string failure_;
};

} // namespace qlm
