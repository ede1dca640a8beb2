#include "common/FilePath.h"

#include <QByteArray>
#include <QFile>

namespace kf {

std::string LocalPath(const QString &fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

QString PathName(std::string_view path)
{
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

} // namespace kf
