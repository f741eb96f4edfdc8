// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/viewer/chm_file.h"

#include <chm_lib.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qlm::help {
namespace {

// The internal tables and the contents of a help file are small; anything larger is damage.
constexpr std::uint64_t kMaxObjectSize = 64u << 20;

std::uint32_t Dword(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::uint16_t Word(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

// A string of #SYSTEM: up to its first zero byte.
std::string CString(std::string_view bytes) {
    return std::string(bytes.substr(0, bytes.find('\0')));
}

// How long chm_open may take in the trial below before the file counts as damaged.
constexpr int kTrialMilliseconds = 5000;

// chm_open reads the reset table and control data through directory entries it does not check:
// an entry that names a section it never set up makes it decompress with a block length of zero
// and divide by it, which ends the process. So it is tried first in a child process, which is all
// that ends then; the file counts as damaged when the child does not end normally in time.
bool ChmOpenEndsNormally(const std::string& path) {
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        // A trial that fails ends quietly: no core file, no crash report of a handler the
        // process may have installed.
        const rlimit no_core{0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        for (const int fatal : {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGABRT}) {
            signal(fatal, SIG_DFL);
        }
        if (chmFile* handle = chm_open(path.c_str())) {
            chm_close(handle);
        }
        _exit(0);
    }
    int status = 0;
    for (int waited = 0;; ++waited) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if ((done < 0 && errno != EINTR) || waited >= kTrialMilliseconds) {
            kill(child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        const timespec millisecond{0, 1000000};
        nanosleep(&millisecond, nullptr);
    }
}

std::string InFile(std::string name) {
    if (!name.empty() && name.front() != '/') {
        name.insert(name.begin(), '/');
    }
    return name;
}

} // namespace

std::unique_ptr<ChmFile> ChmFile::Open(const std::string& path) {
    const auto layout = CheckChmHeaders(path);
    if (!layout || !ChmOpenEndsNormally(path)) {
        return nullptr;
    }
    chmFile* handle = chm_open(path.c_str());
    if (handle == nullptr) {
        return nullptr;
    }
    std::unique_ptr<ChmFile> file(new ChmFile(path, handle));
    file->layout_ = *layout;
    if (!file->CompressedSectionSound()) {
        return nullptr;
    }
    file->ReadSystem();
    return file;
}

namespace {

constexpr const char* kContent = "::DataSpace/Storage/MSCompressed/Content";
constexpr const char* kControlData = "::DataSpace/Storage/MSCompressed/ControlData";
constexpr const char* kResetTable = "::DataSpace/Storage/MSCompressed/Transform/"
                                    "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";

bool InsideOf(std::uint64_t start, std::uint64_t length, std::uint64_t limit) {
    return start <= limit && length <= limit - start;
}

} // namespace

// chmlib decompresses the objects of section 1 by the control data and the reset table, which it
// reads from section 0 and does not check; they are checked here before anything is decompressed.
// A file without a compressed section is read from section 0 alone.
bool ChmFile::CompressedSectionSound() {
    chmUnitInfo content{};
    if (chm_resolve_object(handle_, kContent, &content) != CHM_RESOLVE_SUCCESS) {
        return true;
    }
    chmUnitInfo control{};
    chmUnitInfo table{};
    if (content.space != CHM_UNCOMPRESSED ||
        !InsideOf(layout_.data_offset, content.start, layout_.file_size) ||
        !InsideOf(layout_.data_offset + content.start, content.length, layout_.file_size) ||
        chm_resolve_object(handle_, kControlData, &control) != CHM_RESOLVE_SUCCESS ||
        chm_resolve_object(handle_, kResetTable, &table) != CHM_RESOLVE_SUCCESS ||
        control.space != CHM_UNCOMPRESSED || table.space != CHM_UNCOMPRESSED) {
        return false;
    }
    const auto control_bytes = ReadObject(&control);
    const auto table_bytes = ReadObject(&table);
    return control_bytes && table_bytes && LzxControlDataSound(*control_bytes) &&
           ResetTableSound(*table_bytes, content.length, uncompressed_);
}

std::optional<std::string> ChmFile::ReadObject(const void* entry) const {
    chmUnitInfo info = *static_cast<const chmUnitInfo*>(entry);
    const bool inside = info.space == CHM_UNCOMPRESSED
                            ? InsideOf(layout_.data_offset, info.start, layout_.file_size) &&
                                  InsideOf(layout_.data_offset + info.start, info.length, layout_.file_size)
                            : info.space == CHM_COMPRESSED && uncompressed_ > 0 &&
                                  InsideOf(info.start, info.length, uncompressed_);
    if (!inside || info.length > kMaxObjectSize) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(info.length), '\0');
    if (info.length > 0) {
        const auto got = chm_retrieve_object(handle_, &info, reinterpret_cast<unsigned char*>(bytes.data()),
                                             0, static_cast<LONGINT64>(info.length));
        if (got != static_cast<LONGINT64>(info.length)) {
            return std::nullopt;
        }
    }
    return bytes;
}

ChmFile::ChmFile(std::string path, chmFile* handle) : path_(std::move(path)), handle_(handle) {}

ChmFile::~ChmFile() {
    chm_close(handle_);
}

std::optional<std::string> ChmFile::Read(std::string_view object_path) const {
    chmUnitInfo info{};
    const std::string name(object_path);
    if (chm_resolve_object(handle_, name.c_str(), &info) != CHM_RESOLVE_SUCCESS) {
        return std::nullopt;
    }
    return ReadObject(&info);
}

bool ChmFile::Has(std::string_view object_path) const {
    chmUnitInfo info{};
    const std::string name(object_path);
    return chm_resolve_object(handle_, name.c_str(), &info) == CHM_RESOLVE_SUCCESS;
}

// #SYSTEM: a version dword, then records of a code word, a length word and that many bytes.
void ChmFile::ReadSystem() {
    const auto system = Read("/#SYSTEM");
    if (!system) {
        return;
    }
    const std::string_view bytes(*system);
    std::size_t at = 4;
    while (at + 4 <= bytes.size()) {
        const std::uint16_t code = Word(bytes, at);
        const std::uint16_t length = Word(bytes, at + 2);
        at += 4;
        if (at + length > bytes.size()) {
            break;
        }
        const std::string_view data = bytes.substr(at, length);
        switch (code) {
        case 0:
            system_.contents_file = InFile(CString(data));
            break;
        case 2:
            system_.default_topic = InFile(CString(data));
            break;
        case 3:
            system_.title = CString(data);
            break;
        case 4:
            if (data.size() >= 4) {
                system_.lcid = Dword(data, 0);
            }
            break;
        default:
            break;
        }
        at += length;
    }
}

// #IVB: a dword giving the size of the rest, then pairs of a context number and the offset of the
// topic's name in #STRINGS.
std::optional<std::string> ChmFile::TopicOfContext(std::uint32_t context) const {
    const auto map = Read("/#IVB");
    const auto strings = Read("/#STRINGS");
    if (!map || !strings || map->size() < 4) {
        return std::nullopt;
    }
    const std::size_t end = std::min<std::size_t>(map->size(), 4 + std::size_t{Dword(*map, 0)});
    for (std::size_t at = 4; at + 8 <= end; at += 8) {
        if (Dword(*map, at) != context) {
            continue;
        }
        const std::uint32_t offset = Dword(*map, at + 4);
        if (offset >= strings->size()) {
            return std::nullopt;
        }
        std::string topic = CString(std::string_view(*strings).substr(offset));
        if (topic.empty()) {
            return std::nullopt;
        }
        return InFile(std::move(topic));
    }
    return std::nullopt;
}

std::vector<std::string> ChmFile::Objects() const {
    std::vector<std::string> names;
    chm_enumerate(
        handle_, CHM_ENUMERATE_FILES | CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_SPECIAL | CHM_ENUMERATE_META,
        [](chmFile*, chmUnitInfo* info, void* context) {
            static_cast<std::vector<std::string>*>(context)->emplace_back(info->path);
            return CHM_ENUMERATOR_CONTINUE;
        },
        &names);
    return names;
}

} // namespace qlm::help
