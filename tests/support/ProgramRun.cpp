#include "ProgramRun.h"

#include "FileSizeLimit.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace kf::test {

QString ToolProgram()
{
    return QStringLiteral(KF_BINARY_DIR "/src/keyfolio-tool");
}

TProgramRun RunProgram(const QString &program, const QStringList &args, const QString &codePage, uint64_t sizeLimit)
{
    QProcess p;
    if (sizeLimit > 0)
        p.setChildProcessModifier([sizeLimit] { ApplyFileSizeLimit(sizeLimit); });
    if (!codePage.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KEYFOLIO_CODEPAGE"), codePage);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    TProgramRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

} // namespace kf::test
