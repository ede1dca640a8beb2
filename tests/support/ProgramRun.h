#pragma once
// Runs keyfolio-tool, or another program, as the command-line tests do: what
// it writes on both streams kept, at most a minute, the code page named put
// in force (KEYFOLIO_CODEPAGE; none named: the environment's), and with a
// limit, its files unable to grow beyond that many bytes.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

namespace kf::test {

struct TProgramRun {
    int status = -1; // the exit code; -1 when it did not end by itself within the minute
    std::string out, err;
};

// The keyfolio-tool of this build.
QString ToolProgram();

TProgramRun RunProgram(const QString &program, const QStringList &args, const QString &codePage = QString(),
                       uint64_t sizeLimit = 0);

} // namespace kf::test
