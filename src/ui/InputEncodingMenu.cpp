#include "ui/InputEncodingMenu.h"

#include "ui/CodePageChoice.h"

#include <QAction>
#include <QActionGroup>

namespace kf {

namespace {

constexpr InputEncoding kOrder[] = {InputEncoding::Auto, InputEncoding::CodePage, InputEncoding::Utf8,
                                    InputEncoding::Utf16LE, InputEncoding::Utf16BE};

size_t indexOf(InputEncoding encoding)
{
    for (size_t i = 0; i < std::size(kOrder); ++i)
        if (kOrder[i] == encoding)
            return i;
    return 0;
}

} // namespace

QString InputEncodingMenu::CodePageCaption(const QString &codePage)
{
    return QStringLiteral("&Code page (%1)").arg(codePage);
}

InputEncodingMenu::InputEncodingMenu(QWidget *parent)
    : QMenu(QStringLiteral("&Input encoding"), parent), m_group(new QActionGroup(this))
{
    setObjectName(QStringLiteral("InputEncodingMenu"));
    m_group->setExclusive(true);
    struct Item {
        const char *name;
        QString caption;
        QString hint;
    };
    const CodePageChoice &choice = CodePageChoice::instance();
    const Item items[] = {
        {"A_EncodingAuto", QStringLiteral("&Auto"),
         QStringLiteral("A byte-order mark decides; else a file that is valid UTF-8 with a character beyond "
                        "ASCII is read as UTF-8; else as the code page")},
        {"A_EncodingCodePage", CodePageCaption(choice.current()),
         QStringLiteral("Read the bytes as characters of the code page in force")},
        {"A_EncodingUtf8", QStringLiteral("UTF-&8"), QString()},
        {"A_EncodingUtf16LE", QStringLiteral("UTF-16 &LE"), QString()},
        {"A_EncodingUtf16BE", QStringLiteral("UTF-16 &BE"), QString()},
    };
    for (size_t i = 0; i < std::size(items); ++i) {
        QAction *a = addAction(items[i].caption);
        a->setObjectName(QString::fromLatin1(items[i].name));
        a->setCheckable(true);
        a->setToolTip(items[i].hint.isEmpty() ? a->text().remove(QLatin1Char('&')) : items[i].hint);
        m_group->addAction(a);
        m_actions[i] = a;
    }
    m_actions[0]->setChecked(true);
    setToolTipsVisible(true);
    connect(&CodePageChoice::instance(), &CodePageChoice::changed, this,
            [this](const QString &name) { m_actions[indexOf(InputEncoding::CodePage)]->setText(CodePageCaption(name)); });
}

InputEncoding InputEncodingMenu::encoding() const
{
    for (size_t i = 0; i < m_actions.size(); ++i)
        if (m_actions[i]->isChecked())
            return kOrder[i];
    return InputEncoding::Auto;
}

void InputEncodingMenu::setEncoding(InputEncoding encoding)
{
    m_actions[indexOf(encoding)]->setChecked(true);
}

QAction *InputEncodingMenu::action(InputEncoding encoding) const
{
    return m_actions[indexOf(encoding)];
}

} // namespace kf
