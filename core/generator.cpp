// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/generator.h"

#include "core/gallery_names.h"
#include "core/page_text.h"
#include "core/picture.h"
#include "core/placeholder_sequence.h"
#include "core/run_cancelled.h"
#include "core/template_filler.h"
#include "core/text_file.h"
#include "core/web_pictures.h"

#include "platform/globals.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace qlm {

namespace {

using Sequence = PlaceholderSequence;

std::string Apply(const Sequence& sequence, std::string text) {
    ApplyPlaceholders(sequence, text);
    return text;
}

void Append(Sequence& sequence, Sequence more) {
    sequence.insert(sequence.end(), std::make_move_iterator(more.begin()),
                    std::make_move_iterator(more.end()));
}

// Room for the overview, judged by its first entry with a margin for longer names. Room that is
// reserved but never filled costs no memory pages, so the margin is generous; but a first entry
// with a long text says nothing about the others, so the guess per entry is bounded. An overview
// that outgrows the room still comes out whole.
std::size_t OverviewRoom(std::size_t head_tail, std::size_t first_entry, std::size_t entries) {
    constexpr std::size_t kMostPerEntry = 4096;
    return head_tail + std::min(first_entry + first_entry / 2 + 64, kMostPerEntry) * entries;
}

class Run {
  public:
    Run(const GenerationInput& input, GenerationHost& host)
        : in_(input), host_(host), utf8_templates_(TemplatesDeclareUtf8(input.templates)),
          page_filler_(input.templates.pic), entry_filler_(input.templates.main_rep) {
        if (UsesWebCopies(input.templates))
            web_copies_ = std::make_unique<const WebCopyIndex>(input.folder);
    }

    void Execute() {
        if (web_copies_)
            CheckWebCopies();
        // Pages that would overwrite each other are named before anything is asked or written.
        if (const std::string clash = PageClashWarning(in_.pictures, &shared_pages_); !clash.empty())
            host_.ShowWarning(clash);
        last_writes_ = LastWrites(in_.pictures, shared_pages_);
        // The first picture can be decoded while the folder's texts are asked for.
        AnnounceNext(0);
        std::string title = FolderText("title.txt", true, AskKind::Title, "");
        std::string keywords = FolderText("keywords.txt", in_.flags.keywords, AskKind::Keywords, "");
        std::string description =
            FolderText("description.txt", in_.flags.description, AskKind::Description, keywords);
        keywords_ = TextForPages(keywords, utf8_templates_);
        description_ = TextForPages(description, utf8_templates_);
        title = TextForPages(title, utf8_templates_);
        folder_sequence_ = {{"<mykeywords>", keywords_},
                            {"<mydescription>", description_},
                            {"<mytitle>", title},
                            {"<myversion>", in_.version},
                            {"<mypagedescription>", FirstTextOnOneLine({description_, title})}};

        // The entries go straight into the overview: a folder of 100,000 pictures holds its
        // overview once, not once more as separate entries.
        std::string overview = Apply(folder_sequence_, in_.templates.main_head);
        for (std::size_t index = 0; index < in_.pictures.size(); ++index) {
            StopPointBefore(index);
            const std::string entry = Picture(index);
            if (index == 0)
                overview.reserve(OverviewRoom(overview.size() + in_.templates.main_tail.size(), entry.size(),
                                              in_.pictures.size()));
            overview += entry;
        }
        overview += in_.templates.main_tail;
        ApplyPlaceholders(folder_sequence_, overview);
        StopPointBefore(in_.pictures.size());
        Write("index.html", overview);
    }

    std::vector<std::string>& Unwritten() { return unwritten_; }

    // Puts the pages written so far in place, and notes those that could not be.
    void CommitPages() {
        pages_.Commit();
        // A ".bak" named here could not take its place although its page did; the next run over
        // the folder puts it there.
        for (const platform::WriteFailure& failure : pages_.TakeFailures())
            NoteUnwritten((failure.part == platform::WriteFailure::Part::Backup
                               ? platform::BackupName(failure.name)
                               : failure.name)
                              .substr(in_.folder.size()));
    }
    // The picture or thumbnail being decoded, or decoded last.
    const std::string& CurrentFile() const { return current_file_; }

  private:
    // Where the host may stop the run: before a picture is begun and before the overview, so that
    // every page written so far is whole. The answers stored so far stay.
    void StopPointBefore(std::size_t index) {
        if (host_.StopRequested())
            throw RunCancelled(index);
    }

    // The copy folder, looked at once as the run begins: a link or a file in its place is named,
    // and its pages offer no copies from it; one that could not be listed for want of descriptors
    // stops the run as a picture would, rather than take the copies off the pages.
    void CheckWebCopies() {
        current_file_ = in_.folder + std::string(kWebCopyFolder);
        if (const int error = web_copies_->ListingError(); error == EMFILE || error == ENFILE)
            throw OutOfDescriptorsError(platform::GetErrorText(error));
        if (web_copies_->Refused())
            host_.ShowWarning(std::string(kWebCopyFolder) + ": " + kWebCopyFolderRefused);
    }

    // Reads a folder or picture text; when its file is missing and `ask_for_it`, asks and keeps the
    // answer in that file, so that the next run over the folder asks nothing. A file that exists
    // but cannot be read is never replaced: the answer serves this run only, and the file is named
    // with those that could not be written.
    std::string FolderText(const std::string& file_name, bool ask_for_it, AskKind kind,
                           const std::string& initial) {
        std::string text;
        int error = 0;
        const TextRead read = ReadTextFile(in_.folder + file_name, text, &error);
        // The text is there and would be read another time: a page without it must not replace
        // the page that has it.
        if (read == TextRead::OutOfDescriptors) {
            current_file_ = in_.folder + file_name;
            throw OutOfDescriptorsError(platform::GetErrorText(error));
        }
        if (read == TextRead::Read || !ask_for_it || !in_.ask)
            return text;
        text = host_.AskUser(initial, kind);
        if (read == TextRead::Missing) {
            if (!MyWriteFile(in_.folder + file_name, text))
                NoteUnwritten(file_name);
        } else
            NoteUnwritten(file_name);
        return text;
    }

    std::string PictureText(const std::string& file_name) {
        const std::string text_name = TextFileName(file_name);
        // Where the folder held no such file when it was listed, no file is opened in vain.
        if (!in_.ask && in_.listed && !in_.listed->MayHold(text_name))
            return {};
        return FolderText(text_name, in_.flags.alt, AskKind::Alt, "");
    }

    // Pages go into the batch, which makes them durable together; typed answers are written at once.
    void Write(const std::string& file_name, std::string_view text) {
        const std::string path = in_.folder + file_name;
        if (!(NewPage(file_name) ? platform::WriteNewFileIn(pages_, path, text) == 0
                                 : MyWriteFile(path, text, pages_)))
            NoteUnwritten(file_name);
    }

    // True for a page the folder did not hold when it was listed and only one write of the run
    // makes (see GenerationInput::listed): a page that pictures share, or a picture and the
    // overview, keeps the first write as its backup.
    bool NewPage(const std::string& file_name) const {
        return !in_.ask && in_.listed && !in_.listed->MayHold(file_name) &&
               !std::binary_search(shared_pages_.begin(), shared_pages_.end(), file_name);
    }

    void NoteUnwritten(const std::string& file_name) {
        if (std::find(unwritten_.begin(), unwritten_.end(), file_name) == unwritten_.end())
            unwritten_.push_back(file_name);
    }

    // The page name of the picture at `index` of the run, as a link; empty outside the run.
    std::string PageLinkAt(std::size_t index) const {
        if (index >= in_.pictures.size())
            return {};
        return LinkForPage(PageFileName(in_.pictures[index]));
    }

    // Where the picture stands in the run and its neighbours' pages. Applied after every other
    // placeholder, so that templates without these names give the pages they always gave.
    Sequence NavigationSequence(std::size_t index) const {
        return {{"<mynumber>", std::to_string(index + 1)},
                {"<mycount>", std::to_string(in_.pictures.size())},
                {"<myprevhtmlfile>", index > 0 ? PageLinkAt(index - 1) : std::string()},
                {"<mynexthtmlfile>", PageLinkAt(index + 1)}};
    }

    // The picture's web copies, applied after every other placeholder like the navigation.
    Sequence WebSequence(const std::string& file_name, const std::string& picture_link, PictureSize size,
                         const std::string& alt) const {
        const WebPicture web = MakeWebPicture(picture_link, size.width, size.height,
                                              web_copies_->CopiesOf(file_name, size.width, size.height),
                                              alt == kNoText ? std::string() : alt);
        return {{"<mywebpic>", web.tag},
                {"<mywebpicfile>", web.file},
                {"<mywebwidth>", std::to_string(web.width)},
                {"<mywebheight>", std::to_string(web.height)},
                {"<mywebsrcset>", web.srcset}};
    }

    // Tells the host which thumbnail and picture the run loads once it is done with the one before.
    void AnnounceNext(std::size_t index) {
        if (index >= in_.pictures.size())
            return;
        const std::string& file_name = in_.pictures[index];
        host_.ComingNext(in_.folder + ThumbnailFileName(file_name, in_.flags.thumbs_jpg),
                         in_.folder + file_name);
    }

    // Writes the page of the picture at `index` of the run and gives its entry of the overview.
    std::string Picture(std::size_t index) {
        const std::string& file_name = in_.pictures[index];
        AnnounceNext(index + 1);
        host_.SetProgressLabel(file_name);
        const std::string thumb_name = ThumbnailFileName(file_name, in_.flags.thumbs_jpg);
        const PictureSize thumb = OpenThumbnail(thumb_name);
        const PictureSize picture = OpenPicture(file_name);

        // Asked only after the picture is in the preview, so the question is about what the user sees.
        const std::string text = TextForPages(PictureText(file_name), utf8_templates_);
        const std::string alt = AltTextOf(text);
        // The navigation and web copies come after every other placeholder.
        Sequence sequence = PictureSequence(file_name, thumb_name, picture, thumb, text, alt);
        Append(sequence, NavigationSequence(index));
        if (web_copies_) {
            // A copy that stops the run is named by its folder.
            current_file_ = in_.folder + std::string(kWebCopyFolder);
            Append(sequence, WebSequence(file_name, LinkForPage(file_name), picture, alt));
        }
        // Last of all, as it names no text: the page's own picture loads at once, an entry as its
        // place in the overview says.
        sequence.emplace_back("<myloading>", "eager");
        // A page that a later picture (or the overview) writes again is written once, with its
        // last content: its ".bak" keeps the version from before the run, and a rerun over an
        // unchanged folder finds every page as it would write it.
        if (!WrittenAgainAfter(index, in_.pictures, shared_pages_, last_writes_)) {
            std::string page = page_filler_.Fill(sequence);
            Write(PageFileName(file_name), page);
        }
        sequence.back().second = EntryLoading(index);
        std::string entry = entry_filler_.Fill(sequence);
        host_.StepProgress();
        return entry;
    }

    // The sizes a thumbnail and a picture give their page: their own when they can be opened, else
    // those of the last ones that could be.
    PictureSize OpenThumbnail(const std::string& thumb_name) {
        current_file_ = in_.folder + thumb_name;
        if (const std::optional<PictureSize> opened = host_.LoadThumbnail(current_file_))
            held_thumbnail_ = *opened;
        else if (in_.flags.warn)
            host_.ShowWarning("Der Thumbnail " + thumb_name + " fehlt!");
        return held_thumbnail_;
    }
    PictureSize OpenPicture(const std::string& file_name) {
        current_file_ = in_.folder + file_name;
        if (const std::optional<PictureSize> opened = host_.MyLoadPic(current_file_))
            held_picture_ = *opened;
        return held_picture_;
    }

    // The placeholders of the picture's page and overview entry, but for the navigation and web copies.
    Sequence PictureSequence(const std::string& file_name, const std::string& thumb_name, PictureSize picture,
                             PictureSize thumb, const std::string& text, const std::string& alt) const {
        std::string base, extension;
        SplitFileName(file_name, base, extension);
        // Names go into the pages escaped; those that templates use as links, also URL-safe.
        const std::string picture_link = LinkForPage(file_name);
        const std::string thumb_link = LinkForPage(thumb_name);

        const std::string width = std::to_string(picture.width);
        const std::string height = std::to_string(picture.height);
        const std::string thumb_width = std::to_string(thumb.width);
        const std::string thumb_height = std::to_string(thumb.height);
        const std::string picture_tag = "<img src=\"" + picture_link + "\" width=\"" + width +
                                        "\" height=\"" + height + "\" border=\"0\">";
        std::string thumb_tag =
            "<img src=\"" + thumb_link + "\" width=\"" + thumb_width + "\" height=\"" + thumb_height;
        if (!in_.flags.img_wo_alt)
            thumb_tag += "\" alt=\"" + (alt == kNoText ? std::string() : alt);
        thumb_tag += "\" border=\"0\">";

        return {{"<mypic>", picture_tag},
                {"<mytinypic>", thumb_tag},
                {"<mytext>", PageTextOf(text)},
                {"<myname>", NameForPage(base)},
                {"<myalt>", alt},
                {"<mypicfile>", picture_link},
                {"<mytinypicfile>", thumb_link},
                {"<myhtmlfile>", LinkForPage(PageFileName(file_name))},
                {"<mykeywords>", keywords_},
                {"<mydescription>", description_},
                {"<myversion>", in_.version},
                {"<mywidth>", width},
                {"<myheight>", height},
                {"<mytinywidth>", thumb_width},
                {"<mytinyheight>", thumb_height},
                {"<mypagedescription>", FirstTextOnOneLine({alt, description_, NameForPage(base)})}};
    }

    const GenerationInput& in_;
    GenerationHost& host_;
    const bool utf8_templates_;
    Sequence folder_sequence_;
    std::string keywords_;
    std::string description_;
    std::vector<std::string> unwritten_;
    std::string current_file_;
    // The sizes of the last picture and thumbnail that could be opened: a file that cannot be
    // opened gets them, so its page is written all the same.
    PictureSize held_picture_;
    PictureSize held_thumbnail_;
    platform::WriteBatch pages_;
    std::vector<std::string> shared_pages_; // written more than once (PageClashWarning), sorted
    std::vector<std::size_t> last_writes_;  // of each shared page, the index of its last picture
    TemplateFiller page_filler_;
    TemplateFiller entry_filler_;
    std::unique_ptr<const WebCopyIndex> web_copies_; // only for templates that show web copies
};

} // namespace

const char* AskPrompt(AskKind kind) {
    switch (kind) {
    case AskKind::Keywords:
        return "Bitte geben Sie keywords (durch Kommas getrennt) für diese Seite ein:";
    case AskKind::Description:
        return "Bitte geben Sie eine description für diese Bilder ein:";
    case AskKind::Alt:
        return "Bitte geben Sie einen ALT-Text für das nebenstehende Bild ein:";
    case AskKind::Title:
        return "Bitte geben Sie einen Title für diese Seite ein:";
    }
    return "?!?!?";
}

GenerationResult MakeGallery(const GenerationInput& input, GenerationHost& host) {
    WorkingDisplay display(host, input.selected_entries);
    Run run(input, host);
    GenerationResult result;
    try {
        run.Execute();
    } catch (const DecodeError& failure) {
        // The failure is shown while the progress display still says where the run stopped; then
        // the window is usable again at once. What was written so far stays, in place before the
        // failure is shown.
        run.CommitPages();
        result.stopped = true;
        host.ShowDecodeFailure(run.CurrentFile(), failure.what());
    } catch (const RunCancelled& cancelled) {
        result.cancelled = true;
        result.pictures_done = cancelled.pictures_done;
    }
    run.CommitPages();
    result.unwritten = std::move(run.Unwritten());
    if (!result.unwritten.empty()) {
        std::string message = kUnwrittenFilesWarning;
        for (const std::string& name : result.unwritten)
            message += "\n" + name;
        host.ShowWarning(message);
    }
    display.End();
    return result;
}

} // namespace qlm
