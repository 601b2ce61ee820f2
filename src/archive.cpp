// Reading the reviewer's inputs: files, folders and, where the build has
// minizip (ZELTO_ZIP), zip archives read in place through its unzip API,
// one member in memory at a time.
#include "archive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef ZELTO_ZIP
#define ZELTO_ZIP 0
#endif
#if ZELTO_ZIP
#include <minizip/unzip.h>
#include <zlib.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr size_t CHUNK = 65536;

// The path's text with '/' between its parts, as UTF-8 (on Linux its bytes).
std::string PathText(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// Whether `name` ends in `suffix` (lower case), in any case.
bool EndsWith(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); i++) {
        char c = name[name.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// How many bytes the UTF-8 sequence at text[pos] takes, or 0 when it is none
// (a stray continuation, an overlong form, a surrogate, beyond U+10FFFF).
size_t Utf8Length(std::string_view text, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(pos);
    if (lead < 0x80) return 1;
    size_t length;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (pos + length > text.size() || byte(pos + 1) < low || byte(pos + 1) > high) return 0;
    for (size_t i = 2; i < length; i++)
        if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF) return 0;
    return length;
}

// The entry of an input that gives no record text.
ArchiveEntry Refused(const std::string& source, const std::string& reason) {
    return {source, "", source + ": " + reason};
}

// "cannot read: <what the system says>".
std::string CannotRead(int error) {
    return std::string("cannot read: ") + (error ? std::strerror(error) : "input/output error");
}

// The whole file at `path`, or false with the reason.
bool ReadFile(const fs::path& path, std::string& text, std::string& reason) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = CannotRead(errno);
        return false;
    }
    char buffer[CHUNK];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > MAX_FILE_BYTES) {
            reason = "larger than 1 GiB, more than a record may hold";
            return false;
        }
    }
    if (in.bad()) {
        reason = CannotRead(errno);
        return false;
    }
    return true;
}

// A record file below a folder, or a folder that cannot be listed.
struct Found {
    std::string relative;  ///< the path below the input, '/' between its parts
    fs::path path;
    std::string error;
};

// Adds the record files below `folder`, whose path below the input is `prefix`.
void ListFolder(const fs::path& folder, const std::string& prefix, std::vector<Found>& found) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = prefix + PathText(it->path().filename());
        std::error_code kind;
        if (it->symlink_status(kind).type() == fs::file_type::directory)
            ListFolder(it->path(), name + "/", found);
        else if (IsRecordName(name))
            found.push_back({name, it->path(), ""});
    }
    if (error) {
        const std::string name = prefix.empty() ? prefix : prefix.substr(0, prefix.size() - 1);
        found.push_back({name, folder, "cannot read the folder: " + error.message()});
    }
}

void ReadFolder(const std::string& input, const std::function<void(const ArchiveEntry&)>& visit) {
    std::vector<Found> found;
    ListFolder(input, "", found);
    if (found.empty()) return visit(Refused(input, "holds no .psq or .sgf file"));
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.relative < b.relative; });
    const bool slash = input.back() == '/' || input.back() == '\\';
    for (const Found& f : found) {
        const std::string source =
            f.relative.empty() ? input : input + (slash ? "" : "/") + ShownName(f.relative);
        ArchiveEntry entry{source, "", ""};
        std::string reason = f.error;
        if (reason.empty() && ReadFile(f.path, entry.text, reason)) {
            visit(entry);
        } else {
            visit(Refused(source, reason));
        }
    }
}

#if ZELTO_ZIP

// A member of a zip archive, as its central directory lists it.
struct Member {
    std::string name;
    unz64_file_pos position;
    unz_file_info64 info;
};

// Closes the archive on every path.
struct ZipCloser {
    unzFile zip;
    ~ZipCloser() { unzClose(zip); }
};

// Unpacks the current member into `text`, counting against what the archive
// may still unpack to (`budget`), or gives false with the reason; `spent`
// tells that the archive's budget ran out.
bool Unpack(unzFile zip, const Member& member, std::uint64_t& budget, std::string& text,
            std::string& reason, bool& spent) {
    const unz_file_info64& info = member.info;
    if (info.flag & 1) {
        reason = "encrypted, and the reviewer reads no encrypted member";
        return false;
    }
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
        reason = "packed by method " + std::to_string(info.compression_method) +
                 ", which the reviewer does not unpack (it unpacks stored and deflated members)";
        return false;
    }
    const std::string tooLarge = "unpacks to more than 64 MiB, more than a record may hold";
    if (info.uncompressed_size > MAX_MEMBER_BYTES) {
        reason =
            tooLarge + " (the archive gives " + std::to_string(info.uncompressed_size) + " bytes)";
        return false;
    }
    if (unzGoToFilePos64(zip, &member.position) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK) {
        reason = "damaged: its entry in the archive cannot be read";
        return false;
    }
    char buffer[CHUNK];
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        const int n = unzReadCurrentFile(zip, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            reason =
                n == UNZ_ERRNO ? CannotRead(errno) : "damaged: its packed data cannot be unpacked";
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(n));
        const std::uint64_t size = text.size();
        if (size > MAX_MEMBER_BYTES) {
            reason = tooLarge;
        } else if (size > RATIO_FREE_BYTES &&
                   size > MAX_RATIO * std::max<ZPOS64_T>(info.compressed_size, 1)) {
            reason = "unpacks to more than 100 times its packed size, as no record does";
        } else if (size > budget) {
            spent = true;
        } else {
            continue;
        }
        break;
    }
    const int closed = unzCloseCurrentFile(zip);
    if (!reason.empty() || spent) return false;
    budget -= text.size();
    if (closed == UNZ_CRCERROR || crc != info.crc || text.size() != info.uncompressed_size) {
        reason = "damaged: it unpacks to " + std::to_string(text.size()) +
                 " bytes that do not match the archive's size and checksum";
        return false;
    }
    return true;
}

void ReadZip(const std::string& input, const std::function<void(const ArchiveEntry&)>& visit) {
    std::error_code error;
    const std::uintmax_t zipSize = fs::file_size(input, error);
    if (error) return visit(Refused(input, "cannot read: " + error.message()));
    const unzFile zip = unzOpen64(input.c_str());
    if (!zip) return visit(Refused(input, "not a zip archive, or a truncated or damaged one"));
    const ZipCloser closer{zip};
    std::vector<Member> members;
    int status = unzGoToFirstFile(zip);
    for (; status == UNZ_OK; status = unzGoToNextFile(zip)) {
        Member member;
        char name[65536];
        if (unzGetCurrentFileInfo64(zip, &member.info, name, sizeof name, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            unzGetFilePos64(zip, &member.position) != UNZ_OK) {
            status = UNZ_BADZIPFILE;
            break;
        }
        member.name.assign(name, std::min<size_t>(member.info.size_filename, sizeof name - 1));
        if (member.name.rfind("__MACOSX/", 0) != 0 && IsRecordName(member.name))
            members.push_back(std::move(member));
    }
    if (status != UNZ_END_OF_LIST_OF_FILE)
        return visit(Refused(input, "damaged: its list of members cannot be read"));
    if (members.empty()) return visit(Refused(input, "holds no .psq or .sgf file"));
    std::stable_sort(members.begin(), members.end(),
                     [](const Member& a, const Member& b) { return a.name < b.name; });
    std::uint64_t budget = std::max<std::uint64_t>(MAX_MEMBER_BYTES, MAX_RATIO * zipSize);
    for (const Member& member : members) {
        const std::string source = input + ":" + ShownName(member.name);
        ArchiveEntry entry{source, "", ""};
        std::string reason;
        bool spent = false;
        if (Unpack(zip, member, budget, entry.text, reason, spent)) {
            visit(entry);
        } else if (spent) {
            return visit(Refused(input,
                                 "unpacks to more than 100 times its size (or 64 MiB), as "
                                 "no archive of records does; its members from " +
                                     ShownName(member.name) + " on are left unread"));
        } else {
            visit(Refused(source, reason));
        }
    }
}

#else

void ReadZip(const std::string& input, const std::function<void(const ArchiveEntry&)>& visit) {
    visit(Refused(input, "this build reads no zip archive: unpack it and give the folder"));
}

#endif

}  // namespace

bool ReadsZip() {
    return ZELTO_ZIP != 0;
}

bool IsRecordName(std::string_view name) {
    return EndsWith(name, ".psq") || EndsWith(name, ".sgf");
}

bool IsZipName(std::string_view name) {
    return EndsWith(name, ".zip");
}

std::string ShownName(std::string_view name) {
    std::string shown;
    for (size_t pos = 0; pos < name.size();) {
        const size_t length = Utf8Length(name, pos);
        const unsigned char c = static_cast<unsigned char>(name[pos]);
        if (length == 0 || c < 0x20 || c == 0x7f) {
            shown += '?';
            pos++;
        } else {
            shown += name.substr(pos, length);
            pos += length;
        }
    }
    return shown;
}

void ReadInputs(const std::vector<std::string>& inputs,
                const std::function<void(const ArchiveEntry&)>& visit) {
    for (const std::string& input : inputs) {
        std::error_code error;
        const fs::file_status status = fs::status(input, error);
        if (error) {
            visit(Refused(input, "cannot read: " + error.message()));
        } else if (status.type() == fs::file_type::directory) {
            ReadFolder(input, visit);
        } else if (IsZipName(input)) {
            ReadZip(input, visit);
        } else {
            ArchiveEntry entry{input, "", ""};
            std::string reason;
            if (ReadFile(input, entry.text, reason))
                visit(entry);
            else
                visit(Refused(input, reason));
        }
    }
}
