// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/gif_decoder.h"

#include "core/picture_limits.h"
#include "core/picture_reducer.h"
#include "core/picture_source.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <gif_lib.h>

namespace qlm {
namespace {

int ReadData(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<PictureSource*>(gif->UserData);
    return count > 0 ? static_cast<int>(source->Read(out, static_cast<std::size_t>(count))) : 0;
}

std::string LibraryText(int error) {
    const char* text = GifErrorString(error);
    return text != nullptr ? text : "unbekannter Fehler " + std::to_string(error);
}

[[noreturn]] void Fail(const std::string& text) {
    throw DecodeError("Das GIF-Bild ist beschädigt oder wird nicht unterstützt: " + text);
}

[[noreturn]] void FailTooLarge(int width, int height, const char* why) {
    char text[256];
    std::snprintf(text, sizeof text, "Das GIF-Bild ist zu groß: %d x %d Pixel %s.", width, height, why);
    throw DecodeError(text);
}

// Closes the giflib handle however the decoding ends.
class GifHandle {
  public:
    explicit GifHandle(GifFileType* gif) : gif_(gif) {}
    GifHandle(const GifHandle&) = delete;
    GifHandle& operator=(const GifHandle&) = delete;
    ~GifHandle() {
        int error = 0;
        DGifCloseFile(gif_, &error);
    }
    GifFileType* operator->() const { return gif_; }
    GifFileType* get() const { return gif_; }

  private:
    GifFileType* gif_;
};

// A file that cannot be read on is refused with that reason, whatever giflib made of it.
void CheckRead(const PictureSource& source) {
    if (source.failed()) {
        throw DecodeError(source.failure());
    }
}

void Check(GifFileType* gif, int result) {
    if (result == GIF_ERROR) {
        const auto& source = *static_cast<const PictureSource*>(gif->UserData);
        CheckRead(source);
        if (source.ended()) {
            Fail("Die Datei endet vorzeitig (" + LibraryText(gif->Error) + ").");
        }
        Fail(LibraryText(gif->Error));
    }
}

// Reads an extension block by block; returns the transparent colour index of a graphics control
// extension, or -1.
int ReadExtension(GifFileType* gif) {
    int code = 0;
    GifByteType* block = nullptr;
    Check(gif, DGifGetExtension(gif, &code, &block));
    int transparent = -1;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4 && (block[1] & 0x01) != 0) {
        transparent = block[4];
    }
    while (block != nullptr) {
        Check(gif, DGifGetExtensionNext(gif, &block));
    }
    return transparent;
}

// Reads the index rows of the current frame, de-interlacing them.
void ReadFrameIndices(GifFileType* gif, std::vector<GifByteType>& indices, int width, int height) {
    indices.resize(static_cast<std::size_t>(width) * height);
    auto read_row = [&](int y) {
        Check(gif, DGifGetLine(gif, indices.data() + static_cast<std::size_t>(y) * width, width));
    };
    if (gif->Image.Interlace) {
        static constexpr int kStart[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < height; y += kStep[pass]) {
                read_row(y);
            }
        }
    } else {
        for (int y = 0; y < height; ++y) {
            read_row(y);
        }
    }
}

// What the records before the first frame's pixels tell: the logical screen, the first frame
// (in gif->Image), its colours and transparent index, and the reduction for the box.
struct GifHeaders {
    int screen_width = 0;
    int screen_height = 0;
    int transparent = -1;
    const ColorMapObject* colors = nullptr;
    int factor = 1;
};

GifFileType* OpenGif(PictureSource& source) {
    if (!source.Fill()) {
        CheckRead(source);
        throw DecodeError("Die GIF-Datei ist leer.");
    }
    int error = 0;
    GifFileType* opened = DGifOpen(&source, ReadData, &error);
    if (opened == nullptr) {
        CheckRead(source);
        Fail(source.ended() ? "Die Datei endet vorzeitig." : LibraryText(error));
    }
    return opened;
}

// Reads up to the first frame's descriptor and checks everything before its pixels.
GifHeaders ReadHeaders(GifHandle& gif, int box) {
    const int screen_width = gif->SWidth;
    const int screen_height = gif->SHeight;
    if (screen_width <= 0 || screen_height <= 0) {
        Fail("Die Bildfläche hat keine Größe.");
    }
    if (std::uint64_t(screen_width) * std::uint64_t(screen_height) > picture_limits::kMaxPixels) {
        FailTooLarge(screen_width, screen_height, "(zu viele Pixel)");
    }

    int transparent = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        Check(gif.get(), DGifGetRecordType(gif.get(), &record));
        if (record == EXTENSION_RECORD_TYPE) {
            const int index = ReadExtension(gif.get());
            if (index >= 0) {
                transparent = index;
            }
            continue;
        }
        if (record == TERMINATE_RECORD_TYPE) {
            Fail("Die Datei enthält kein Bild.");
        }
        if (record == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
        Fail("unerwarteter Datensatz in der Datei.");
    }
    Check(gif.get(), DGifGetImageDesc(gif.get()));
    const GifImageDesc& frame = gif->Image;
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) {
        Fail("Das erste Einzelbild hat keine gültige Größe.");
    }
    const std::uint64_t frame_pixels = std::uint64_t(frame.Width) * std::uint64_t(frame.Height);
    if (frame_pixels > picture_limits::kMaxPixels) {
        FailTooLarge(frame.Width, frame.Height, "im ersten Einzelbild (zu viele Pixel)");
    }
    const ColorMapObject* colors = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (colors == nullptr || colors->Colors == nullptr || colors->ColorCount <= 0) {
        Fail("Das Bild hat keine Farbtabelle.");
    }

    const int factor = picture_limits::ReductionFactor(screen_width, screen_height, box);
    const std::uint64_t screen_row = std::uint64_t(screen_width) * 4;
    const std::uint64_t reduced = std::uint64_t(picture_limits::ReducedSide(screen_width, factor)) *
                                  picture_limits::ReducedSide(screen_height, factor) * 4;
    const std::uint64_t needed =
        frame_pixels + reduced + (factor > 1 ? screen_row + reduced * 2 : 0) + std::uint64_t(frame.Width) * 2;
    if (needed > picture_limits::kMemoryBudget) {
        char why[160];
        std::snprintf(
            why, sizeof why, "bräuchten zum Lesen etwa %llu MB Speicher, erlaubt sind %llu MB",
            static_cast<unsigned long long>(picture_limits::Megabytes(needed)),
            static_cast<unsigned long long>(picture_limits::Megabytes(picture_limits::kMemoryBudget)));
        FailTooLarge(screen_width, screen_height, why);
    }
    return {screen_width, screen_height, transparent, colors, factor};
}

// Where the first frame's pixels go: the picture of the screen's size, or the reducer that makes
// the reduced picture from rows of the screen's width.
struct GifCanvas {
    Picture picture;
    std::vector<std::uint8_t> row;
    PictureReducer reducer;
    int factor = 1;

    void Prepare(const GifHeaders& headers) {
        factor = headers.factor;
        const std::size_t screen_row = static_cast<std::size_t>(headers.screen_width) * 4;
        if (factor == 1) {
            picture.image.width = headers.screen_width;
            picture.image.height = headers.screen_height;
            picture.image.rgba.assign(screen_row * headers.screen_height, 0);
        } else {
            row.resize(screen_row);
            if (!reducer.Start(headers.screen_width, headers.screen_height, factor, &picture.image)) {
                throw std::bad_alloc();
            }
        }
    }
};

// The part of the frame that lies on the screen, in screen pixels [left, right) x [top, bottom).
struct VisibleArea {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

VisibleArea VisiblePart(const GifImageDesc& frame, int screen_width, int screen_height) {
    VisibleArea area;
    area.left = std::min(frame.Left, screen_width);
    area.right =
        static_cast<int>(std::min<std::int64_t>(std::int64_t(frame.Left) + frame.Width, screen_width));
    area.top = std::min(frame.Top, screen_height);
    area.bottom =
        static_cast<int>(std::min<std::int64_t>(std::int64_t(frame.Top) + frame.Height, screen_height));
    return area;
}

// Colours the visible pixels of one screen row from the frame's colour indices.
void PaintRow(std::uint8_t* out, const GifByteType* source_row, const VisibleArea& area, int frame_left,
              const GifHeaders& headers) {
    for (int x = area.left; x < area.right; ++x) {
        const int index = source_row[x - frame_left];
        std::uint8_t* pixel = out + static_cast<std::size_t>(x) * 4;
        // An index beyond the colour table shows nothing, like a transparent one.
        if (index == headers.transparent || index >= headers.colors->ColorCount) {
            continue;
        }
        const GifColorType& color = headers.colors->Colors[index];
        pixel[0] = color.Red;
        pixel[1] = color.Green;
        pixel[2] = color.Blue;
        pixel[3] = 255;
    }
}

// Puts the frame on the screen. The part of the frame off the screen is cut off; the screen around
// the frame is transparent, so only the frame's rows and columns cost work, however large the screen.
void PaintFrame(GifCanvas& canvas, const GifHeaders& headers, const GifImageDesc& frame,
                const std::vector<GifByteType>& indices) {
    const VisibleArea area = VisiblePart(frame, headers.screen_width, headers.screen_height);
    const std::size_t screen_row = static_cast<std::size_t>(headers.screen_width) * 4;
    const bool reduced = canvas.factor > 1;
    if (reduced) {
        canvas.reducer.AddTransparentRows(area.top);
    }
    for (int y = area.top; y < area.bottom; ++y) {
        std::uint8_t* out = reduced
                                ? canvas.row.data()
                                : canvas.picture.image.rgba.data() + static_cast<std::size_t>(y) * screen_row;
        if (reduced) {
            std::fill(canvas.row.begin() + std::ptrdiff_t(area.left) * 4,
                      canvas.row.begin() + std::ptrdiff_t(area.right) * 4, 0);
        }
        PaintRow(out, indices.data() + static_cast<std::size_t>(y - frame.Top) * frame.Width, area,
                 frame.Left, headers);
        if (reduced) {
            canvas.reducer.AddRow(canvas.row.data(), area.left, area.right);
        }
    }
    if (reduced) {
        canvas.reducer.AddTransparentRows(headers.screen_height - area.bottom);
    }
}

} // namespace

bool MeasureGif(PictureSource& source, int box, Picture& picture) {
    if (!source.Fill() && source.needs_more()) {
        return false;
    }
    try {
        GifHandle gif(OpenGif(source));
        const GifHeaders headers = ReadHeaders(gif, box);
        picture = Picture{};
        picture.opened = true;
        picture.width = headers.screen_width;
        picture.height = headers.screen_height;
        return true;
    } catch (const DecodeError&) {
        if (source.needs_more()) {
            return false;
        }
        throw;
    }
}

bool GifHasSeveralFrames(PictureSource& source) {
    GifHandle gif(OpenGif(source));
    int frames = 0;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        Check(gif.get(), DGifGetRecordType(gif.get(), &record));
        if (record == EXTENSION_RECORD_TYPE) {
            ReadExtension(gif.get());
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            Check(gif.get(), DGifGetImageDesc(gif.get()));
            if (++frames > 1) {
                return true;
            }
            // The frame's compressed data is skipped block by block, never decoded.
            int code_size = 0;
            GifByteType* block = nullptr;
            Check(gif.get(), DGifGetCode(gif.get(), &code_size, &block));
            while (block != nullptr) {
                Check(gif.get(), DGifGetCodeNext(gif.get(), &block));
            }
        } else {
            // The trailer, or a record that ends what can be read.
            return false;
        }
    }
}

Picture DecodeGif(PictureSource& source, int box) {
    GifHandle gif(OpenGif(source));
    const GifHeaders headers = ReadHeaders(gif, box);
    const GifImageDesc& frame = gif->Image;
    GifCanvas canvas;
    canvas.picture.opened = true;
    canvas.picture.width = headers.screen_width;
    canvas.picture.height = headers.screen_height;
    std::vector<GifByteType> indices;
    try {
        ReadFrameIndices(gif.get(), indices, frame.Width, frame.Height);
        canvas.Prepare(headers);
    } catch (const std::bad_alloc&) {
        FailTooLarge(headers.screen_width, headers.screen_height, "(der Speicher reicht nicht)");
    }
    PaintFrame(canvas, headers, frame, indices);
    CheckRead(source);
    return std::move(canvas.picture);
}

} // namespace qlm
