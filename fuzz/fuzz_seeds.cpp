// Writes the seed corpora of the fuzz targets that read keyboard packages and
// datapackets: fuzz_seeds OUT-FOLDER PACKAGE.vkt...
// OUT-FOLDER gets datapacket/, PackageMembers/ and LoadPackage/, each with a
// few valid inputs: datapackets made here, and the members of each package
// given (key.cds, char.cds, readme) in the form each target reads.

#include "common/Errors.h"
#include "model/MainData.h"
#include "table/RecordTable.h"
#include "model/ZipArchive.h"

#include <QDir>
#include <QFile>

#include <iostream>
#include <string>

namespace {

void writeFile(const QString &path, const std::string &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)
        || f.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        throw std::runtime_error("cannot write " + path.toStdString());
}

std::string readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    const QByteArray bytes = f.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Datapackets built in code: empty and filled tables of both kinds, and a
// wide one (long strings, a picture of zero bytes).
void writeDatapackets(const QString &dir)
{
    using kf::TFieldType;
    using kf::TValue;
    const std::string out = dir.toStdString();
    kf::TRecordTable key({{"Name", TFieldType::String, 20, true}, {"KeyValue", TFieldType::Integer},
                          {"KeyType", TFieldType::Integer}, {"KeyType2", TFieldType::Integer},
                          {"Finger", TFieldType::Integer}, {"Glyph", TFieldType::Graphic},
                          {"Width", TFieldType::Integer}, {"Height", TFieldType::Integer},
                          {"X", TFieldType::Integer}, {"Y", TFieldType::Integer},
                          {"Hint", TFieldType::String, 127}});
    key.SaveToFile(out + "/key-empty.cds");
    key.AppendRecord({"Q", 16, 1, TValue(), 0, std::string("BM\x06\0\0\0", 6), 40, 40, 5, 10, "hint"});
    key.AppendRecord({"W", 17, 1, 2001, 1, TValue(), 40, 40, 45, 10, ""});
    key.SaveToFile(out + "/key-rows.cds");
    kf::TRecordTable chars({{"Name", TFieldType::String, 30}, {"Code", TFieldType::Integer},
                            {"KeyNo", TFieldType::Integer}, {"Shift", TFieldType::Boolean},
                            {"AltGr", TFieldType::Boolean}, {"Accent", TFieldType::Integer}});
    chars.SaveToFile(out + "/char-empty.cds");
    chars.AppendRecord({"a", 97, 16, false, false, 0});
    chars.AppendRecord({"A", 65, 16, true, false, 0});
    chars.AppendRecord({"", 0, TValue(), TValue(), true, 2001});
    chars.SaveToFile(out + "/char-rows.cds");
    kf::TRecordTable wide({{"Long", TFieldType::String, 300}, {"P", TFieldType::Graphic}});
    wide.AppendRecord({std::string(280, 'x'), std::string(10, '\0')});
    wide.SaveToFile(out + "/wide.cds");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::cerr << "usage: fuzz_seeds OUT-FOLDER PACKAGE.vkt...\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    try {
        for (const char *sub : {"datapacket", "PackageMembers", "LoadPackage"})
            if (!out.mkpath(QString::fromLatin1(sub)))
                throw std::runtime_error("cannot make " + out.filePath(QString::fromLatin1(sub)).toStdString());
        writeDatapackets(out.filePath(QStringLiteral("datapacket")));
        for (int i = 2; i < argc; ++i) {
            const QString name = QFileInfo(QString::fromLocal8Bit(argv[i])).completeBaseName();
            const std::string package = readFile(QString::fromLocal8Bit(argv[i]));
            kf::ZipArchive zip;
            zip.openBytes(package);
            const std::string key = zip.read("key.cds");
            const std::string chars = zip.read("char.cds");
            const std::string readme = zip.read("readme");
            writeFile(out.filePath(QStringLiteral("datapacket/%1-key.cds").arg(name)), key);
            writeFile(out.filePath(QStringLiteral("datapacket/%1-char.cds").arg(name)), chars);
            writeFile(out.filePath(QStringLiteral("PackageMembers/%1").arg(name)),
                      key + "\n@@\n" + chars + "\n@@\n" + readme);
            writeFile(out.filePath(QStringLiteral("LoadPackage/%1.vkt").arg(name)), package);
            // The same package as this program writes it.
            kf::TDataMod dm;
            if (dm.LoadPackageBytes(package))
                writeFile(out.filePath(QStringLiteral("LoadPackage/%1-saved.vkt").arg(name)), dm.PackageBytes());
        }
    } catch (const std::exception &e) {
        std::cerr << "fuzz_seeds: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
