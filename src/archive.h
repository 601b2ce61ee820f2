// The records a reviewer is given: files, folders read through for their
// .psq and .sgf files, and zip archives read in place member by member, each
// record's text with its source name. Zip members are unpacked within limits
// that a zip bomb cannot pass: what a member unpacks to is counted as it is
// unpacked, not taken from the archive's word. A tool of the reviewer: it
// reads files and allocates.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One record's text found among the inputs, or what kept it from being read.
struct ArchiveEntry {
    std::string source;  ///< the path; "archive.zip:folder/game.psq" for a zip member
    std::string text;    ///< the record's bytes, when there is no error
    std::string error;   ///< "source: reason", or empty
};

// A zip member may unpack to at most this many bytes ...
constexpr std::uint64_t MAX_MEMBER_BYTES = std::uint64_t{64} << 20;
// ... and, once past RATIO_FREE_BYTES, to at most MAX_RATIO bytes for each
// packed byte; a whole archive to at most MAX_RATIO times its size (or
// MAX_MEMBER_BYTES when that is more). Text records pack 3 to 10 times.
constexpr std::uint64_t MAX_RATIO = 100;
constexpr std::uint64_t RATIO_FREE_BYTES = std::uint64_t{1} << 20;
// A record file outside an archive may hold at most this many bytes.
constexpr std::uint64_t MAX_FILE_BYTES = std::uint64_t{1} << 30;

// Whether this build reads zip archives; one that does not refuses a zip with
// a message that says to unpack it and give the folder.
bool ReadsZip();

// Whether a file or member of this name is read as a record: it ends in .psq
// or .sgf, in any case.
bool IsRecordName(std::string_view name);

// Whether an input of this name is read as a zip archive: it ends in .zip, in
// any case.
bool IsZipName(std::string_view name);

// A file or member name as a message shows it: control characters and bytes
// that are no UTF-8 become '?'.
std::string ShownName(std::string_view name);

// Calls `visit` for every record among `inputs`, in their order. An input
// that is a folder gives its record files at any depth (links to folders are
// not followed), one ending in .zip (any case) its record members (but those
// below __MACOSX/, which macOS adds), each in the byte order of the path
// below the folder or the member's name; any other input is read as a record
// whatever its name. An input that cannot be read, a damaged archive, a
// member past the limits, and a folder or archive that holds no record each
// give one entry with an error; an archive that unpacks past its limit gives
// one for the rest of its members.
void ReadInputs(const std::vector<std::string>& inputs,
                const std::function<void(const ArchiveEntry&)>& visit);
