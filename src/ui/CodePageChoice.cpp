#include "ui/CodePageChoice.h"
#include "common/CodePage.h"

namespace kf {

CodePageChoice &CodePageChoice::instance()
{
    static CodePageChoice choice;
    return choice;
}

QString CodePageChoice::current() const
{
    return QString::fromStdString(CodePage::current().name());
}

void CodePageChoice::choose(const QString &name)
{
    const QString before = current();
    CodePage::choose(name.toStdString());
    if (current() != before)
        emit changed(current());
}

} // namespace kf
