#pragma once
// The ZIP container of keyboard packages (the data module's `Kit`).
//
// Reading: an archive is opened from a file or from bytes, whatever the file's
// extension; members are found by name without regard to case (the first one
// wins) and read whole into memory, at most kMaxMemberBytes each. Anything
// hostile (not a ZIP, truncated, encrypted, a member declared larger than the
// cap or expanding beyond its declared size) fails with EZipError or
// EFOpenError and a reason.
//
// Writing: an archive is built in memory, each member deflated at level 6 or
// stored when deflating would make it larger, and then replaces the target
// file in one step (a temporary file in the target's folder renamed over it);
// on failure the target stays as it was and no temporary file remains.

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class ZipArchive {
public:
    // No member is read beyond this many bytes (a guard against zip bombs).
    static constexpr uint64_t kMaxMemberBytes = uint64_t(64) << 20;
    // The "normal" deflate level.
    static constexpr int kDeflateLevel = 6;

    // The ZIP compression method numbers this program writes.
    static constexpr uint16_t kStored = 0;
    static constexpr uint16_t kDeflated = 8;

    struct MemberInfo {
        std::string name;        // as stored (raw bytes)
        uint64_t size = 0;       // uncompressed size, as declared
        uint64_t compressedSize = 0;
        uint16_t method = 0;     // kStored, kDeflated or another ZIP method number
        std::time_t mtime = 0;
        bool encrypted = false;
    };

    // A member to write: its name in the archive and its bytes.
    struct Member {
        std::string name;
        std::string data;
    };

    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // --- reading ---------------------------------------------------------
    // Opens an archive file (closing any archive open before). Throws
    // EFOpenError when the file cannot be read, EZipError when it is no ZIP
    // archive or is damaged.
    void open(const std::string &path);
    // Opens an archive held in memory (the bytes are copied).
    void openBytes(std::string_view bytes);
    void close();
    bool isOpen() const;

    const std::vector<MemberInfo> &members() const { return m_members; }
    // Index of the first member whose name equals name without regard to
    // (ASCII) case; nothing when there is none.
    std::optional<size_t> find(std::string_view name) const;
    // A member's bytes, checked against its CRC. Throws EZipError.
    std::string read(size_t index) const;
    // find + read; throws EZipError "NAME: member missing" when absent.
    std::string read(std::string_view name) const;

    // --- writing ---------------------------------------------------------
    // The bytes of an archive holding the members in the given order, each
    // dated mtime. Throws EZipError.
    static std::string build(const std::vector<Member> &members, std::time_t mtime);
    // build() and replace the file at path with the result. Throws
    // EFCreateError (or EZipError) and leaves any file at path untouched.
    static void writeFile(const std::string &path, const std::vector<Member> &members,
                          std::time_t mtime);
    // Whether deflating data (level 6, raw, as the archive writer does) gives
    // more bytes than data itself; such a member is stored instead.
    static bool deflateIsLarger(std::string_view data);
    // The size of data deflated with those settings.
    static uint64_t deflatedSize(std::string_view data);

private:
    struct Handle;
    void openHandle(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> m_handle;
    std::vector<MemberInfo> m_members;
};

} // namespace kf
