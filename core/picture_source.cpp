// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/picture_source.h"

#include "core/picture_limits.h"

#include "platform/globals.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/types.h>
#include <unistd.h>

namespace qlm {
namespace {

constexpr std::size_t kPieceBytes = std::size_t{64} << 10;

// The buffer of the last source of this thread, kept for the next one: a run reads two files per
// picture, and a fresh buffer each time would make the heap grow and shrink for every file.
thread_local std::unique_ptr<std::uint8_t[]> spare_buffer;

} // namespace

PictureSource::PictureSource(const std::uint8_t* data, std::size_t size, bool whole)
    : next_(data), end_(data + size), whole_(whole) {}

PictureSource::~PictureSource() {
    if (buffer_ && !spare_buffer)
        spare_buffer = std::move(buffer_);
}

int PictureSource::Open(const std::string& path, std::size_t first_read) {
    if (const int error = platform::OpenRegularFile(path, file_, file_size_); error != 0)
        return error;
    size_known_ = true;
    return Opened(first_read);
}

int PictureSource::OpenUnchecked(const std::string& path, std::size_t first_read) {
    if (const int error = platform::OpenUnchecked(path, file_); error != 0)
        return error;
    file_size_ = 0;
    size_known_ = false;
    return Opened(first_read);
}

int PictureSource::CheckRegular() {
    if (size_known_ || !file_.valid())
        return 0;
    const int error = platform::RegularFileSize(file_, file_size_);
    size_known_ = error == 0;
    return error;
}

std::uint64_t PictureSource::FileSize() {
    CheckRegular();
    return file_size_;
}

int PictureSource::Opened(std::size_t first_read) {
    if (!buffer_) {
        buffer_ = spare_buffer ? std::move(spare_buffer)
                               : std::make_unique_for_overwrite<std::uint8_t[]>(kPieceBytes);
        buffer_size_ = kPieceBytes;
    }
    next_ = end_ = buffer_.get();
    position_ = 0;
    next_read_ = first_read;
    whole_ = true;
    ended_ = false;
    failure_.clear();
    return 0;
}

bool PictureSource::Fill() {
    if (next_ != end_)
        return true;
    if (ended_)
        return false;
    if (file_.valid())
        return FillFromFile();
    ended_ = true;
    return false;
}

bool PictureSource::Fail(std::string text) {
    failure_ = std::move(text);
    ended_ = true;
    next_ = end_;
    return false;
}

bool PictureSource::FillFromFile() {
    using picture_limits::kMaxFileSize;
    // A decoder that still reads past this point is refused: only a huge file gets there, and
    // reading it on would take long. One byte more than the limit is asked for, so that a file of
    // exactly the limit still ends normally.
    const auto too_large = [this] {
        return Fail("Die Bilddatei ist zu groß (" +
                    std::to_string(picture_limits::Megabytes(std::max(FileSize(), position_))) +
                    " MB); gelesen werden höchstens " +
                    std::to_string(picture_limits::Megabytes(kMaxFileSize)) + " MB.");
    };
    if (position_ > kMaxFileSize)
        return too_large();
    const std::size_t piece = next_read_ != 0 ? std::min(next_read_, buffer_size_) : buffer_size_;
    next_read_ = 0;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(piece, kMaxFileSize + 1 - position_));
    const ssize_t got = platform::ReadSome(file_.get(), buffer_.get(), want);
    if (got < 0)
        return Fail("Die Bilddatei kann nicht gelesen werden: " + platform::GetErrorText(errno));
    if (got == 0) {
        if (position_ < FileSize())
            return Fail("Die Bilddatei kann nicht gelesen werden: Sie wurde beim Lesen kürzer.");
        ended_ = true;
        return false;
    }
    position_ += static_cast<std::uint64_t>(got);
    if (position_ > kMaxFileSize)
        return too_large();
    next_ = buffer_.get();
    end_ = next_ + got;
    return true;
}

std::size_t PictureSource::Read(std::uint8_t* out, std::size_t count) {
    std::size_t copied = 0;
    while (copied < count && Fill()) {
        const std::size_t n = std::min(count - copied, available());
        std::memcpy(out + copied, next_, n);
        next_ += n;
        copied += n;
    }
    return copied;
}

void PictureSource::Skip(std::uint64_t count) {
    if (count <= available()) {
        next_ += count;
        return;
    }
    count -= available();
    next_ = end_;
    if (!file_.valid()) {
        ended_ = true;
        return;
    }
    if (ended_)
        return;
    // The bytes passed over are not read. A position beyond the end reads as the end; one beyond
    // the limit is refused by the next Fill.
    position_ = std::min(position_ + count, picture_limits::kMaxFileSize + 1);
    if (::lseek(file_.get(), static_cast<off_t>(position_), SEEK_SET) < 0)
        Fail("Die Bilddatei kann nicht gelesen werden: " + platform::GetErrorText(errno));
}

} // namespace qlm
