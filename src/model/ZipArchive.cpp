#include "model/ZipArchive.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/LibraryErrors.h"
#include "common/Translation.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <system_error>
#include <thread>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace kf {

namespace {

struct ZipDiscard {
    void operator()(zip_t *za) const { zip_discard(za); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipDiscard>;

struct ZipFileClose {
    void operator()(zip_file_t *zf) const { zip_fclose(zf); }
};
using ZipFilePtr = std::unique_ptr<zip_file_t, ZipFileClose>;

struct ZipSourceFree {
    void operator()(zip_source_t *src) const { zip_source_free(src); }
};
using ZipSourcePtr = std::unique_ptr<zip_source_t, ZipSourceFree>;

// libzip's own text of an error, through the catalogue.
std::string libzipText(const char *text)
{
    return Translate(text);
}

struct ZipErrorText {
    zip_error_t error;
    ZipErrorText() { zip_error_init(&error); }
    explicit ZipErrorText(int code) { zip_error_init_with_code(&error, code); }
    ~ZipErrorText() { zip_error_fini(&error); }
    std::string text() { return libzipText(zip_error_strerror(&error)); }
};

// Every message of the ZIP layer goes through the catalogue here; those
// raised from more than one place have a function of their own below.
[[noreturn]] void zipFail(const char *msgid, std::string_view arg = {}, std::string_view arg2 = {})
{
    throw EZipError(LibraryText(msgid, arg, arg2));
}

[[noreturn]] void cannotStartDeflate()
{
    zipFail("cannot start the deflate compressor");
}

[[noreturn]] void cannotCreateArchive(const std::string &why)
{
    zipFail("cannot create the ZIP archive: %s", why);
}

[[noreturn]] void cannotReadBackArchive()
{
    zipFail("cannot read back the ZIP archive");
}

// A member's own failure: its name, then libzip's text.
[[noreturn]] void memberFail(const std::string &name, const char *libzipMessage)
{
    zipFail("%s: %s", name, libzipText(libzipMessage));
}

std::string sizeText(uint64_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
}

// The reason an archive could not be opened, from libzip's error code.
std::string openFailure(int code)
{
    switch (code) {
    case ZIP_ER_NOZIP:
        return LibraryText("not a ZIP archive");
    case ZIP_ER_INCONS:
        return LibraryText("the ZIP archive is damaged (inconsistent directory)");
    case ZIP_ER_MULTIDISK:
        return LibraryText("multi-disk ZIP archives are not supported");
    case ZIP_ER_MEMORY:
        return LibraryText("out of memory");
    default: {
        ZipErrorText e(code);
        return LibraryText("cannot open the ZIP archive: %s", e.text());
    }
    }
}

// Deflates one piece of a member as part of one raw deflate stream (level 6,
// 32 KiB window). A piece after the first is primed with the 32 KiB before it,
// so matches reach back across the cut; a piece before the last ends with a
// sync flush (byte-aligned, no final block), so the pieces' outputs joined
// together are the member's deflate stream.
std::string deflatePiece(std::string_view data, size_t begin, size_t end, bool last)
{
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (deflateInit2(&zs, ZipArchive::kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        cannotStartDeflate();
    constexpr size_t kWindow = size_t(1) << 15;
    if (begin > 0) {
        const size_t from = begin > kWindow ? begin - kWindow : 0;
        if (deflateSetDictionary(&zs, reinterpret_cast<const Bytef *>(data.data() + from), uInt(begin - from))
            != Z_OK) {
            deflateEnd(&zs);
            cannotStartDeflate();
        }
    }
    const size_t n = end - begin;
    std::string out(size_t(deflateBound(&zs, uLong(n))) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data() + begin));
    zs.avail_in = uInt(n);
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    const int rc = deflate(&zs, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool done = last ? rc == Z_STREAM_END : (rc == Z_OK && zs.avail_in == 0 && zs.avail_out > 0);
    out.resize(size_t(zs.total_out));
    deflateEnd(&zs);
    if (!done)
        zipFail("deflate failed");
    return out;
}

// Raw deflate at level 6 with a 32 KiB window: the member data of a ZIP
// archive. Large members are cut into pieces of a fixed size that are
// deflated side by side (the result depends only on the data, not on the
// number of processors).
std::string deflateRaw(std::string_view data)
{
    constexpr size_t kPiece = size_t(1) << 20;
    const size_t pieces = std::max<size_t>(1, (data.size() + kPiece - 1) / kPiece);
    if (pieces == 1)
        return deflatePiece(data, 0, data.size(), true);

    std::vector<std::string> outputs(pieces);
    std::vector<std::exception_ptr> errors(pieces);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < pieces; i = next++) {
            try {
                outputs[i] = deflatePiece(data, i * kPiece, std::min(data.size(), (i + 1) * kPiece), i + 1 == pieces);
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    };
    const size_t helpers = std::min<size_t>(pieces, std::max(1u, std::thread::hardware_concurrency())) - 1;
    std::vector<std::thread> threads;
    for (size_t t = 0; t < helpers; ++t) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error &) {
            break; // no thread to spare: this one does the rest
        }
    }
    work();
    for (std::thread &t : threads)
        t.join();
    for (const std::exception_ptr &e : errors)
        if (e)
            std::rethrow_exception(e);
    std::string out;
    size_t total = 0;
    for (const std::string &o : outputs)
        total += o.size();
    out.reserve(total);
    for (const std::string &o : outputs)
        out += o;
    return out;
}

// A libzip source that hands over member data deflated already, with its
// uncompressed size and CRC, so the archive writer copies it as it is.
struct DeflatedSource {
    std::string deflated;
    uint64_t size = 0;
    uint32_t crc = 0;
    size_t position = 0;
    zip_error_t error;

    static zip_int64_t callback(void *userdata, void *data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto *self = static_cast<DeflatedSource *>(userdata);
        switch (command) {
        case ZIP_SOURCE_OPEN:
            self->position = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const size_t n = std::min<size_t>(size_t(length), self->deflated.size() - self->position);
            std::memcpy(data, self->deflated.data() + self->position, n);
            self->position += n;
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &self->error);
            if (!st)
                return -1;
            zip_stat_init(st);
            st->size = self->size;
            st->comp_size = self->deflated.size();
            st->comp_method = ZIP_CM_DEFLATE;
            st->crc = self->crc;
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&self->error, data, length);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&self->error);
            delete self;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&self->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }
};

} // namespace

struct ZipArchive::Handle {
    std::string bytes; // the archive's bytes when opened from memory
    ZipPtr zip;
};

ZipArchive::ZipArchive() = default;
ZipArchive::~ZipArchive() = default;

bool ZipArchive::isOpen() const
{
    return m_handle != nullptr;
}

void ZipArchive::close()
{
    m_handle.reset();
    m_members.clear();
}

void ZipArchive::open(const std::string &path)
{
    close();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        RaiseCannotOpenFile(path, SystemErrorText(errno));
    if (S_ISDIR(st.st_mode))
        RaiseCannotOpenFile(path, IsFolderText());
    if (!S_ISREG(st.st_mode))
        RaiseCannotOpenFile(path, NotRegularFileText());
    {
        std::FILE *probe = std::fopen(path.c_str(), "rb");
        if (!probe)
            RaiseCannotOpenFile(path, SystemErrorText(errno));
        std::fclose(probe);
    }
    if (st.st_size == 0)
        zipFail("not a ZIP archive (the file is empty)");

    int code = 0;
    auto handle = std::make_unique<Handle>();
    handle->zip.reset(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!handle->zip)
        throw EZipError(openFailure(code));
    openHandle(std::move(handle));
}

void ZipArchive::openBytes(std::string_view bytes)
{
    close();
    if (bytes.empty())
        zipFail("not a ZIP archive (no data)");
    auto handle = std::make_unique<Handle>();
    handle->bytes.assign(bytes.data(), bytes.size());
    ZipErrorText err;
    ZipSourcePtr src(zip_source_buffer_create(handle->bytes.data(), handle->bytes.size(), 0, &err.error));
    if (!src)
        throw EZipError(openFailure(zip_error_code_zip(&err.error)));
    handle->zip.reset(zip_open_from_source(src.get(), ZIP_RDONLY | ZIP_CHECKCONS, &err.error));
    if (!handle->zip)
        throw EZipError(openFailure(zip_error_code_zip(&err.error)));
    src.release(); // the archive owns its source now
    openHandle(std::move(handle));
}

void ZipArchive::openHandle(std::unique_ptr<Handle> handle)
{
    zip_t *za = handle->zip.get();
    const zip_int64_t count = zip_get_num_entries(za, 0);
    if (count < 0)
        zipFail("cannot read the ZIP directory: %s", libzipText(zip_strerror(za)));
    std::vector<MemberInfo> members;
    members.reserve(size_t(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, zip_uint64_t(i), ZIP_FL_ENC_RAW, &st) != 0)
            zipFail("cannot read the ZIP directory: %s", libzipText(zip_strerror(za)));
        MemberInfo m;
        if (st.valid & ZIP_STAT_NAME)
            m.name = st.name;
        if (st.valid & ZIP_STAT_SIZE)
            m.size = st.size;
        if (st.valid & ZIP_STAT_COMP_SIZE)
            m.compressedSize = st.comp_size;
        if (st.valid & ZIP_STAT_COMP_METHOD)
            m.method = st.comp_method;
        if (st.valid & ZIP_STAT_MTIME)
            m.mtime = st.mtime;
        if (st.valid & ZIP_STAT_ENCRYPTION_METHOD)
            m.encrypted = st.encryption_method != ZIP_EM_NONE;
        members.push_back(std::move(m));
    }
    m_handle = std::move(handle);
    m_members = std::move(members);
}

std::optional<size_t> ZipArchive::find(std::string_view name) const
{
    const std::string wanted = LowerAscii(name);
    for (size_t i = 0; i < m_members.size(); ++i)
        if (m_members[i].name.size() == wanted.size() && LowerAscii(m_members[i].name) == wanted)
            return i;
    return std::nullopt;
}

std::string ZipArchive::read(std::string_view name) const
{
    const auto index = find(name);
    if (!index)
        zipFail("%s: member missing", name);
    return read(*index);
}

std::string ZipArchive::read(size_t index) const
{
    if (!m_handle || index >= m_members.size())
        zipFail("no such ZIP member");
    const MemberInfo &m = m_members[index];
    if (m.encrypted)
        zipFail("%s: the member is encrypted", m.name);
    if (m.size > kMaxMemberBytes)
        zipFail("%s: the member is declared larger than %s", m.name, sizeText(kMaxMemberBytes));
    if (!zip_compression_method_supported(zip_int32_t(m.method), 0))
        zipFail("%s: unsupported compression method %s", m.name, std::to_string(m.method));

    zip_t *za = m_handle->zip.get();
    ZipFilePtr zf(zip_fopen_index(za, index, 0));
    if (!zf)
        memberFail(m.name, zip_strerror(za));

    // Read at most the declared size, then make sure nothing follows: a member
    // that expands beyond what it declares is refused before it can grow large.
    std::string data;
    data.resize(size_t(m.size));
    uint64_t done = 0;
    while (done < m.size) {
        const zip_int64_t n = zip_fread(zf.get(), data.data() + done, m.size - done);
        if (n < 0)
            memberFail(m.name, zip_file_strerror(zf.get()));
        if (n == 0)
            zipFail("%s: the member is shorter than declared", m.name);
        done += uint64_t(n);
    }
    char extra[1];
    const zip_int64_t more = zip_fread(zf.get(), extra, 1);
    if (more < 0)
        memberFail(m.name, zip_file_strerror(zf.get()));
    if (more > 0)
        zipFail("%s: the member expands beyond its declared size", m.name);
    return data;
}

bool ZipArchive::deflateIsLarger(std::string_view data)
{
    return deflatedSize(data) > data.size();
}

uint64_t ZipArchive::deflatedSize(std::string_view data)
{
    return deflateRaw(data).size();
}

std::string ZipArchive::build(const std::vector<Member> &members, std::time_t mtime)
{
    for (const Member &m : members)
        if (m.data.size() > kMaxMemberBytes)
            zipFail("%s: the member is larger than %s", m.name, sizeText(kMaxMemberBytes));

    ZipErrorText err;
    ZipSourcePtr out(zip_source_buffer_create(nullptr, 0, 0, &err.error));
    if (!out)
        cannotCreateArchive(err.text());
    zip_source_keep(out.get()); // stays ours after the archive closes

    ZipPtr za(zip_open_from_source(out.get(), ZIP_TRUNCATE, &err.error));
    if (!za) {
        zip_source_free(out.get()); // drop the reference the archive did not take
        cannotCreateArchive(err.text());
    }
    for (const Member &m : members) {
        // Deflate once; a member that would grow is stored instead.
        std::string deflated = deflateRaw(m.data);
        const bool store = deflated.size() > m.data.size();
        zip_source_t *src = nullptr;
        if (store) {
            src = zip_source_buffer(za.get(), m.data.data(), m.data.size(), 0);
        } else {
            auto *pre = new DeflatedSource;
            pre->deflated = std::move(deflated);
            pre->size = m.data.size();
            pre->crc = uint32_t(crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef *>(m.data.data()),
                                        m.data.size()));
            zip_error_init(&pre->error);
            src = zip_source_function(za.get(), &DeflatedSource::callback, pre);
            if (!src) {
                zip_error_fini(&pre->error);
                delete pre;
            }
        }
        if (!src)
            memberFail(m.name, zip_strerror(za.get()));
        const zip_int64_t idx = zip_file_add(za.get(), m.name.c_str(), src, 0);
        if (idx < 0) {
            zip_source_free(src);
            memberFail(m.name, zip_strerror(za.get()));
        }
        if ((store && zip_set_file_compression(za.get(), zip_uint64_t(idx), ZIP_CM_STORE, 0) != 0)
            || zip_file_set_mtime(za.get(), zip_uint64_t(idx), mtime, 0) != 0)
            memberFail(m.name, zip_strerror(za.get()));
    }
    if (zip_close(za.get()) != 0)
        zipFail("cannot write the ZIP archive: %s", libzipText(zip_strerror(za.get())));
    za.release(); // closed and freed by zip_close

    if (zip_source_open(out.get()) != 0)
        cannotReadBackArchive();
    std::string bytes;
    char buf[1 << 16];
    for (;;) {
        const zip_int64_t n = zip_source_read(out.get(), buf, sizeof buf);
        if (n < 0) {
            zip_source_close(out.get());
            cannotReadBackArchive();
        }
        if (n == 0)
            break;
        bytes.append(buf, size_t(n));
    }
    zip_source_close(out.get());
    return bytes;
}

void ZipArchive::writeFile(const std::string &path, const std::vector<Member> &members, std::time_t mtime)
{
    ReplacingFile::writeWhole(path, build(members, mtime));
}

} // namespace kf
