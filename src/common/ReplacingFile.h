#pragma once
// A file written for the user in one step. The bytes go to a temporary file
// beside the target, and only a complete file is renamed over the target, so
// a save that fails (a full disk, a size limit, an unplugged drive) leaves the
// old file byte for byte as it was and no temporary file behind. The new file
// keeps the permissions of the file it replaces.
//
//     ReplacingFile out(path);   // throws EFCreateError
//     out.write(part);           // as often as needed; throws EFCreateError
//     out.commit();              // the target is replaced; throws EFCreateError
//
// A ReplacingFile destroyed without a successful commit throws its temporary
// file away and leaves the target untouched.
//
// A target that exists but is no regular file (a device such as /dev/stdout,
// a pipe) holds nothing to keep and must not be renamed over: it is written
// directly.

#include <memory>
#include <string>
#include <string_view>

class QFileDevice;

namespace kf {

class ReplacingFile {
public:
    // path is in the local 8-bit file-name encoding. Throws EFCreateError
    // naming the file when no temporary file can be made beside it (a missing
    // folder, no right to write there) or when path names a folder.
    explicit ReplacingFile(const std::string &path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    // Appends bytes to the new file. Throws EFCreateError naming the file.
    void write(std::string_view bytes);
    // Completes the new file and renames it over the target. Throws
    // EFCreateError naming the file; the target is then unchanged.
    void commit();

    // The whole file in one go: construct, write, commit.
    static void writeWhole(const std::string &path, std::string_view bytes);

private:
    [[noreturn]] void fail();

    std::string m_path;
    std::unique_ptr<QFileDevice> m_file; // a QSaveFile, or a QFile for a device
    bool m_direct = false;
};

} // namespace kf
