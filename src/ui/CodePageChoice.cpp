#include "ui/CodePageChoice.h"
#include "common/CodePage.h"
#include "common/Translation.h"
#include "ui/ValueLabel.h"

#include <QLabel>

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

QLabel *NewCodePageLabel(QWidget *parent, const QString &toolTip)
{
    auto *label = new QLabel(CodePageChoice::instance().current(), parent);
    label->setObjectName(QStringLiteral("CodePageLb"));
    label->setToolTip(toolTip);
    SetupValueLabel(label, TranslateQ("Code page"));
    QObject::connect(&CodePageChoice::instance(), &CodePageChoice::changed, label, &QLabel::setText);
    return label;
}

} // namespace kf
