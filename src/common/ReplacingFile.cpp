#include "common/ReplacingFile.h"
#include "common/FilePath.h"
#include "common/LibraryErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kf {

ReplacingFile::ReplacingFile(const std::string &path) : m_path(path)
{
    const QString target = PathName(path);
    const QFileInfo info(target);
    if (info.isDir())
        RaiseCannotCreateFile(path, IsFolderText());
    m_direct = info.exists() && !info.isFile();
    if (m_direct) {
        auto file = std::make_unique<QFile>(target);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            RaiseCannotCreateFile(path, file->errorString().toStdString());
        m_file = std::move(file);
        return;
    }
    // QSaveFile writes a temporary file in the target's folder, gives it the
    // target's permissions and renames it over the target on commit; without
    // the direct-write fallback it never writes into the target itself.
    //
    // Unbuffered: a buffered QFileDevice that can write only part of its
    // buffer when it is flushed on commit (a full disk, a size limit) may
    // still report success, and the fragment would replace the old file.
    // Each write below goes to the disk at once and is checked.
    auto file = std::make_unique<QSaveFile>(target);
    file->setDirectWriteFallback(false);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        RaiseCannotCreateFile(path, file->errorString().toStdString());
    m_file = std::move(file);
}

// An uncommitted QSaveFile removes its temporary file when it is destroyed.
ReplacingFile::~ReplacingFile() = default;

void ReplacingFile::fail()
{
    const std::string why = m_file->errorString().toStdString();
    if (!m_direct)
        static_cast<QSaveFile *>(m_file.get())->cancelWriting();
    RaiseCannotWriteFile(m_path, why);
}

void ReplacingFile::write(std::string_view bytes)
{
    // A short write is no error of its own; writing the rest then fails with
    // the reason (no space left, file too large).
    while (!bytes.empty()) {
        const qint64 n = m_file->write(bytes.data(), qint64(bytes.size()));
        if (n <= 0)
            fail();
        bytes.remove_prefix(size_t(n));
    }
}

void ReplacingFile::commit()
{
    bool done = false;
    if (m_direct) {
        done = m_file->flush();
        m_file->close();
        done = done && m_file->error() == QFileDevice::NoError;
    } else {
        done = static_cast<QSaveFile *>(m_file.get())->commit();
    }
    if (!done)
        RaiseCannotWriteFile(m_path, m_file->errorString().toStdString());
}

void ReplacingFile::writeWhole(const std::string &path, std::string_view bytes)
{
    ReplacingFile file(path);
    file.write(bytes);
    file.commit();
}

} // namespace kf
