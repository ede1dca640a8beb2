#include "model/ZipArchive.h"
#include "common/Errors.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
#include <fstream>
#include <random>
#include <sys/stat.h>

using kf::ZipArchive;

namespace {

std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = char(gen() & 0xFF);
    return s;
}

std::string repeated(size_t n)
{
    std::string s;
    while (s.size() < n)
        s += "key.cds char.cds readme ";
    s.resize(n);
    return s;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

uint32_t le32(const std::string &b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16
        | uint32_t(uint8_t(b[at + 3])) << 24;
}

void putLe32(std::string &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

// Sets the declared uncompressed size of the only member of an archive, in
// both its local header and its central directory entry.
std::string withDeclaredSize(std::string archive, uint32_t size)
{
    EXPECT_EQ(le32(archive, 0), 0x04034b50u);
    putLe32(archive, 22, size);
    const size_t central = archive.find("PK\x01\x02");
    EXPECT_NE(central, std::string::npos);
    putLe32(archive, central + 24, size);
    return archive;
}

std::string runPython(const QString &script, const QStringList &args)
{
    QProcess p;
    p.start("python3", QStringList{"-c", script} + args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return "FAILED: " + p.readAllStandardError().toStdString();
    return p.readAllStandardOutput().toStdString();
}

} // namespace

// Every member goes in with its bytes, in order, at the root; each is deflated
// unless deflating would make it larger, and a deflated member is exactly as
// large as our own measurement of the deflate (so the choice is made on the
// size the archive really gets).
TEST(ZipArchiveTest, WritesMembersInOrderDeflatedOrStored)
{
    const std::vector<ZipArchive::Member> members = {
        {"key.cds", repeated(5000)},
        {"char.cds", randomBytes(3000, 1)},
        {"readme", ""},
        {"tiny", "a"},
        {"text", repeated(40)},
        {"large", repeated(1500000) + randomBytes(700000, 7) + repeated(1200000)}, // deflated in pieces
    };
    const std::time_t when = 1700000000;
    ZipArchive zip;
    zip.openBytes(ZipArchive::build(members, when));
    ASSERT_EQ(zip.members().size(), members.size());
    for (size_t i = 0; i < members.size(); ++i) {
        SCOPED_TRACE(members[i].name);
        const auto &info = zip.members()[i];
        EXPECT_EQ(info.name, members[i].name);
        EXPECT_EQ(info.size, members[i].data.size());
        EXPECT_EQ(zip.read(i), members[i].data);
        EXPECT_NEAR(double(info.mtime), double(when), 2.0);
        const uint64_t deflated = ZipArchive::deflatedSize(members[i].data);
        if (deflated > members[i].data.size()) {
            EXPECT_EQ(info.method, ZipArchive::kStored);
            EXPECT_EQ(info.compressedSize, members[i].data.size());
        } else {
            EXPECT_EQ(info.method, ZipArchive::kDeflated);
            EXPECT_EQ(info.compressedSize, deflated);
        }
    }
    EXPECT_EQ(zip.members()[0].method, ZipArchive::kDeflated);
    EXPECT_EQ(zip.members()[1].method, ZipArchive::kStored);
    EXPECT_EQ(zip.members()[2].method, ZipArchive::kStored);
    EXPECT_LT(zip.members()[5].compressedSize, 800000u);
}

// Near the break-even point the measurement must agree with what the archive
// writer produces, byte for byte.
TEST(ZipArchiveTest, MeasuredDeflateMatchesWrittenMember)
{
    for (unsigned seed = 0; seed < 40; ++seed) {
        std::string data = randomBytes(50 + seed * 7, seed);
        data.replace(0, std::min<size_t>(data.size(), seed * 4), std::string(std::min<size_t>(data.size(), seed * 4), 'x'));
        ZipArchive zip;
        zip.openBytes(ZipArchive::build({{"m", data}}, 0));
        const auto &info = zip.members().at(0);
        SCOPED_TRACE(seed);
        if (info.method == ZipArchive::kDeflated) {
            EXPECT_EQ(info.compressedSize, ZipArchive::deflatedSize(data));
            EXPECT_LE(info.compressedSize, data.size());
        } else {
            EXPECT_TRUE(ZipArchive::deflateIsLarger(data));
        }
        EXPECT_EQ(zip.read(size_t(0)), data);
    }
}

TEST(ZipArchiveTest, FindsMembersWithoutCaseFirstOneWins)
{
    ZipArchive zip;
    zip.openBytes(ZipArchive::build({{"notes.txt", "n"}, {"KEY.CDS", "first"}, {"key.cds", "second"}, {"dir/readme", "x"}}, 0));
    EXPECT_EQ(zip.find("key.cds"), std::optional<size_t>(1));
    EXPECT_EQ(zip.read("Key.Cds"), "first");
    EXPECT_EQ(zip.find("readme"), std::nullopt); // only at the root
    EXPECT_EQ(zip.find("key.cd"), std::nullopt);
    try {
        zip.read("char.cds");
        FAIL() << "expected an error";
    } catch (const kf::EZipError &e) {
        EXPECT_STREQ(e.what(), "char.cds: member missing");
    }
}

// Hostile archives fail with a reason and never hand out more than the cap.
TEST(ZipArchiveTest, RefusesBrokenArchives)
{
    const std::string good = ZipArchive::build({{"key.cds", repeated(20000)}}, 0);
    struct Case {
        const char *name;
        std::string bytes;
        const char *reason;
    };
    const std::vector<Case> cases = {
        {"text", "bkcolor=0\r\n", "not a ZIP archive"},
        {"single byte", "P", "not a ZIP archive"},
        {"truncated end", good.substr(0, good.size() - 10), "not a ZIP archive"},
        {"truncated half", good.substr(0, good.size() / 2), "not a ZIP archive"},
        {"directory only", good.substr(good.find("PK\x01\x02")), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ZipArchive zip;
        try {
            zip.openBytes(c.bytes);
            zip.read("key.cds");
            FAIL() << "expected an error";
        } catch (const kf::EZipError &e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

TEST(ZipArchiveTest, RefusesMemberDeclaredOrExpandingBeyondItsSize)
{
    const std::string data = repeated(4000);
    const std::string archive = ZipArchive::build({{"key.cds", data}}, 0);
    {
        ZipArchive zip;
        zip.openBytes(withDeclaredSize(archive, uint32_t(ZipArchive::kMaxMemberBytes + 1)));
        try {
            zip.read("key.cds");
            FAIL() << "expected an error";
        } catch (const kf::EZipError &e) {
            EXPECT_STREQ(e.what(), "key.cds: the member is declared larger than 64 MiB");
        }
    }
    {
        ZipArchive zip;
        zip.openBytes(withDeclaredSize(archive, 1000));
        try {
            zip.read("key.cds");
            FAIL() << "expected an error";
        } catch (const kf::EZipError &e) {
            EXPECT_STREQ(e.what(), "key.cds: the member expands beyond its declared size");
        }
    }
    {
        ZipArchive zip;
        zip.openBytes(withDeclaredSize(archive, uint32_t(data.size() + 100)));
        EXPECT_THROW(zip.read("key.cds"), kf::EZipError);
    }
}

TEST(ZipArchiveTest, OpenFileFailures)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string base = dir.path().toStdString();
    writeAll(base + "/empty.vkt", "");
    writeAll(base + "/text.vkt", "hello, world\n");
    struct Case {
        std::string path;
        const char *reason;
    };
    const std::vector<Case> cases = {
        {base + "/missing.vkt", "No such file"},
        {base, "It is a folder."},
        {base + "/empty.vkt", "not a ZIP archive"},
        {base + "/text.vkt", "not a ZIP archive"},
        {"/dev/null", "It is not a regular file."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        ZipArchive zip;
        try {
            zip.open(c.path);
            FAIL() << "expected an error";
        } catch (const kf::Exception &e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
        EXPECT_FALSE(zip.isOpen());
    }
}

TEST(ZipArchiveTest, WriteFileReplacesTargetAndLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string target = dir.path().toStdString() + "/layout.any";
    writeAll(target, std::string(100000, 'o')); // an older, larger file
    const std::vector<ZipArchive::Member> members = {{"key.cds", repeated(300)}, {"readme", "bkcolor=1\r\n"}};
    ZipArchive::writeFile(target, members, 1700000000);
    EXPECT_EQ(folderEntries(dir.path()), QStringList{"layout.any"});

    ZipArchive zip;
    zip.open(target);
    ASSERT_EQ(zip.members().size(), 2u);
    EXPECT_EQ(zip.read("readme"), "bkcolor=1\r\n");
    zip.close();

    // The same content written twice gives the same file.
    const std::string first = readAll(target);
    ZipArchive::writeFile(target, members, 1700000000);
    EXPECT_EQ(readAll(target), first);
}

TEST(ZipArchiveTest, FailedWriteKeepsEarlierFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string target = dir.path().toStdString() + "/old.vkt";
    writeAll(target, "earlier content");
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));

    struct Case {
        std::string path;
        std::vector<ZipArchive::Member> members;
    };
    const std::vector<Case> cases = {
        {target, {{"key.cds", std::string(size_t(ZipArchive::kMaxMemberBytes + 1), 'a')}}},
        {dir.path().toStdString() + "/sub", {{"key.cds", "x"}}},
        {dir.path().toStdString() + "/no/such/folder/new.vkt", {{"key.cds", "x"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_THROW(ZipArchive::writeFile(c.path, c.members, 0), kf::Exception);
        EXPECT_EQ(readAll(target), "earlier content");
        EXPECT_EQ(folderEntries(dir.path()), (QStringList{"old.vkt", "sub"}));
        EXPECT_TRUE(folderEntries(dir.path() + "/sub").isEmpty());
    }
}

// An archive we write is read and tested by an independent reader.
TEST(ZipArchiveTest, IndependentReaderAcceptsOurArchive)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string target = dir.path().toStdString() + "/pkg.vkt";
    ZipArchive::writeFile(target, {{"key.cds", repeated(9000)}, {"char.cds", randomBytes(700, 3)}, {"readme", ""},
                                   {"large", repeated(2000000) + randomBytes(1500000, 9)}},
                          1700000000);

    const std::string listing = runPython(
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "    print(i.filename, i.file_size, i.compress_type, i.flag_bits & 1)\n",
        {QString::fromStdString(target)});
    EXPECT_EQ(listing, "key.cds 9000 8 0\nchar.cds 700 0 0\nreadme 0 0 0\nlarge 3500000 8 0\n");

    QProcess unzip;
    unzip.start("unzip", {"-t", QString::fromStdString(target)});
    ASSERT_TRUE(unzip.waitForFinished(60000));
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
}

// Archives written by another ZIP writer: stored and deflated members, names
// in other capitals, an extra member; written to a file or streamed (with data
// descriptors after the members).
TEST(ZipArchiveTest, ReadsArchiveOfAnotherWriter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString mode : {"file", "stream"}) {
        SCOPED_TRACE(mode.toStdString());
        const std::string target = dir.path().toStdString() + "/other-" + mode.toStdString() + ".zip";
        const std::string out = runPython(
            "import sys, zipfile\n"
            "class Stream:\n"
            "    def __init__(self, f): self.f = f\n"
            "    def write(self, b): return self.f.write(b)\n"
            "    def flush(self): self.f.flush()\n"
            "with open(sys.argv[1], 'wb') as f:\n"
            "    z = zipfile.ZipFile(f if sys.argv[2] == 'file' else Stream(f), 'w')\n"
            "    z.writestr('Notes.TXT', 'ignored', zipfile.ZIP_DEFLATED)\n"
            "    z.writestr('KEY.CDS', b'k' * 5000, zipfile.ZIP_DEFLATED)\n"
            "    z.writestr('Char.Cds', b'c' * 10, zipfile.ZIP_STORED)\n"
            "    with z.open('ReadMe', 'w') as m:\n"
            "        m.write(b'bkcolor=5\\r\\n')\n"
            "    z.close()\n",
            {QString::fromStdString(target), mode});
        ASSERT_EQ(out, "");
        ZipArchive zip;
        zip.open(target);
        EXPECT_EQ(zip.members().size(), 4u);
        EXPECT_EQ(zip.read("key.cds"), std::string(5000, 'k'));
        EXPECT_EQ(zip.read("char.cds"), std::string(10, 'c'));
        EXPECT_EQ(zip.read("readme"), "bkcolor=5\r\n");
    }
}
