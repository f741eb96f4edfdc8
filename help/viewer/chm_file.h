// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Read access to a compiled HTML help file (CHM) through chmlib: its objects (pages, style sheets,
// pictures) by their path inside the file, the facts of its "#SYSTEM" object (title, start page,
// contents file, language) and its context map, the tables "#IVB" and "#STRINGS" that give the
// topic of a help context number. No Qt here: the viewer window and the tests of the help file
// both build on it.

#include "help/viewer/chm_check.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct chmFile;

namespace qlm::help {

struct ChmSystemInfo {
    std::string title;
    std::string default_topic; // path inside the file, beginning with "/"; may be empty
    std::string contents_file; // the same for the ".hhc" contents file
    std::uint32_t lcid = 0;    // language of the texts, 0 when the file names none
};

class ChmFile {
  public:
    // nullptr when the file cannot be opened, is no CHM file or is damaged where chmlib would trust
    // it (see chm_check.h).
    static std::unique_ptr<ChmFile> Open(const std::string& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    const std::string& Path() const { return path_; }
    const ChmSystemInfo& System() const { return system_; }

    // The whole object at `object_path` ("/index.html"; case is not significant), or nothing when
    // the file holds no such object or it cannot be read.
    std::optional<std::string> Read(std::string_view object_path) const;
    bool Has(std::string_view object_path) const;
    // The topic that the context map gives `context`, as a path inside the file ("/topic.html"),
    // or nothing when the map has no such number.
    std::optional<std::string> TopicOfContext(std::uint32_t context) const;
    // Paths of all files in the archive, the internal ones ("/#SYSTEM", "::DataSpace/...") too.
    std::vector<std::string> Objects() const;

  private:
    ChmFile(std::string path, chmFile* handle);
    bool CompressedSectionSound();
    // The object whose entry is `info`, when it lies inside its section.
    std::optional<std::string> ReadObject(const void* info) const;
    void ReadSystem();

    std::string path_;
    chmFile* handle_;
    ChmLayout layout_;
    std::uint64_t uncompressed_ = 0; // length of the compressed section's content
    ChmSystemInfo system_;
};

} // namespace qlm::help
