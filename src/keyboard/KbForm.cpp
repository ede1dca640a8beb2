#include "keyboard/KbForm.h"

#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "common/ErrorReport.h"
#include "common/Translation.h"
#include "keyboard/KbStatsForm.h"
#include "table/ControlsDisabled.h"
#include "model/GlyphCodec.h"
#include "model/MainData.h"
#include "table/RecordTable.h"

#include <QAccessible>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

namespace kf {

namespace {

// The button group of a key type: all character keys share one group, both
// Shift keys another; keys outside the table are never shown down.
int GroupOfKeyType(int32_t keyType)
{
    if (keyType < KeyTypes::Backspace)
        return 1;
    switch (keyType) {
    case KeyTypes::CapsLock:
        return KeyTypes::CapsLock;
    case KeyTypes::AltGr:
        return KeyTypes::AltGr;
    case KeyTypes::LShift:
    case KeyTypes::RShift:
        return KeyTypes::LShift;
    default:
        return KeyTypes::IsAccent(keyType) ? KeyTypes::AccentBase : KeyTypes::None;
    }
}

} // namespace

TKbFm::TKbFm(QWidget *parent) : QScrollArea(parent), m_state(*this)
{
    setFrameShape(QFrame::NoFrame);
    // Reachable with Tab, but a click on a key must leave the focus (and the
    // selection) in the target edit.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(QStringLiteral("Keyboard"));
    setAccessibleDescription(QStringLiteral("Arrow keys choose a key, Space or Return presses it"));
    setWidgetResizable(false);
    auto *area = new QWidget;
    area->setObjectName(QStringLiteral("KeyArea"));
    area->setAutoFillBackground(true);
    setWidget(area); // the scroll area owns it
    m_keyArea = area;
    A_ColourKeysByUse = new QAction(TranslateQ("Colour keys by use"), this);
    A_ColourKeysByUse->setObjectName(QStringLiteral("A_ColourKeysByUse"));
    A_ColourKeysByUse->setCheckable(true);
    addAction(A_ColourKeysByUse);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(A_ColourKeysByUse, &QAction::toggled, this, [this](bool on) { ColourKeysByUse(on); });
    // The program's keyboard definition, when there is one; the data module
    // outlives every window.
    if (TDataMod *dm = DataMod)
        SetDefinition(&dm->MainTbl, &dm->Ctbl, [dm] { return uint32_t(dm->bkcolor); });
}

TKbFm::~TKbFm()
{
    // The buttons go with the key area; nothing may refer to them afterwards.
    m_state.ForgetKeys();
}

void TKbFm::SetDefinition(TRecordTable *keyTable, TRecordTable *charTable,
                          TColorSource backgroundColor)
{
    m_keys = keyTable;
    m_chars = charTable;
    m_backgroundColor = std::move(backgroundColor);
    m_state.SetTables(keyTable, charTable);
}

QColor TKbFm::BackgroundColor() const
{
    return m_keyArea->palette().color(QPalette::Window);
}

void TKbFm::SetBackgroundColor(const QColor &color)
{
    for (QWidget *w : {static_cast<QWidget *>(this), viewport(), m_keyArea}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, color);
        w->setPalette(pal);
    }
    viewport()->setAutoFillBackground(true);
}

bool TKbFm::BuildButtons(bool keepGlyph)
{
    SetBackgroundColor(ColorValueToColor(m_backgroundColor ? m_backgroundColor() : 0));
    if (!m_keys)
        return true;
    TRecordTable &keys = *m_keys;
    const CodePage &cp = CodePage::current();
    const QColor background = BackgroundColor();

    m_building = true;
    struct BuildingDone {
        TKbFm *fm;
        ~BuildingDone()
        {
            fm->m_building = false;
            fm->UpdateKeyAreaSize();
        }
    } buildingDone{this};

    // The definition window's grids must not follow every row move.
    ControlsDisabled silenced(keys);
    const int fName = keys.FieldByName("Name").Index();
    const int fKeyValue = keys.FieldByName("KeyValue").Index();
    const int fKeyType = keys.FieldByName("KeyType").Index();
    const int fKeyType2 = keys.FieldByName("KeyType2").Index();
    const int fGlyph = keys.FieldByName("Glyph").Index();
    const int fWidth = keys.FieldByName("Width").Index();
    const int fHeight = keys.FieldByName("Height").Index();
    const int fX = keys.FieldByName("X").Index();
    const int fY = keys.FieldByName("Y").Index();
    const int fHint = keys.FieldByName("Hint").Index();

    m_buttons.reserve(m_buttons.size() + size_t(std::max(0, keys.RecordCount())));
    m_keyTexts.reserve(m_buttons.capacity());
    for (keys.First(); !keys.Eof(); keys.Next()) {
        auto *button = new ButtonType(m_keyArea); // owned by the key area
        m_buttons.push_back(button);
        m_currentButton = button;

        button->setGeometry(keys.Fields(fX).AsInteger(), keys.Fields(fY).AsInteger(),
                            std::max(0, keys.Fields(fWidth).AsInteger()),
                            std::max(0, keys.Fields(fHeight).AsInteger()));
        m_keyTexts.push_back({keys.Fields(fName).AsString(), keys.Fields(fHint).AsString()});
        button->setToolTip(cp.decode(m_keyTexts.back().hint));
        button->setAccessibleName(cp.decode(m_keyTexts.back().name));

        // A value that is not a bitmap gives a key without a picture.
        const QImage picture = GlyphToImageOrNull(keys.Fields(fGlyph).AsBytes());
        button->setGlyph(picture);
        button->UpGlyph = picture;
        button->DownGlyph = picture;
        button->KeepGlyph = keepGlyph;
        InvertBitmap(button->DownGlyph);

        button->KeyRow = keys.GetBookmark();
        button->setTag(keys.Fields(fKeyValue).AsInteger());
        button->setFaceColor(picture.isNull() ? background
                                              : ColorValueToColor(KeyFaceColor(picture)));
        const int32_t keyType = keys.Fields(fKeyType).AsInteger();
        button->setAllowAllUp(true);
        button->setGroup(GroupOfKeyType(keyType));
        button->installEventFilter(this);
        button->setKeyFocusable(true);
        button->show();

        m_state.RegisterKey(button, keyType, keys.Fields(fKeyType2).AsInteger());
        AttachButtonEvents();
    }
    // The keyboard focus stays on the key of the same row over a rebuild.
    if (!m_focusKey && !m_focusRow.IsNull()) {
        for (ButtonType *button : m_buttons)
            if (button->KeyRow == m_focusRow) {
                SetFocusKey(button);
                break;
            }
    }
    if (!m_focusKey && hasFocus())
        SetFocusKey(FirstFocusKey());
    UpdateTypedTexts();
    if (A_ColourKeysByUse->isChecked())
        ColourKeysByUse(true);
    return true;
}

void TKbFm::ColourKeysByUse(bool on)
{
    const std::map<int32_t, double> &use = LastKeyUse();
    const QColor background = BackgroundColor();
    for (ButtonType *button : m_buttons) {
        const auto it = use.find(int32_t(button->tag()));
        if (on && it != use.end())
            button->setFaceColor(KeyUseColor(it->second));
        else
            button->setFaceColor(button->UpGlyph.isNull() ? background
                                                          : ColorValueToColor(KeyFaceColor(button->UpGlyph)));
    }
}

void TKbFm::FollowKeyRows()
{
    if (!m_keys || !m_keys->Active())
        return;
    TRecordTable &keys = *m_keys;
    const int fGlyph = keys.FieldByName("Glyph").Index();
    const int fWidth = keys.FieldByName("Width").Index();
    const int fHeight = keys.FieldByName("Height").Index();
    const int fX = keys.FieldByName("X").Index();
    const int fY = keys.FieldByName("Y").Index();
    const QColor background = BackgroundColor();
    const auto number = [&](const TBookmark &row, int field) {
        const TValue v = keys.BookmarkValue(row, field);
        return v.IsNull() ? 0 : v.integer();
    };
    for (ButtonType *button : m_buttons) {
        if (!keys.BookmarkValid(button->KeyRow))
            continue; // the row is gone: the button stays as built
        const TBookmark &row = button->KeyRow;
        const QRect place(number(row, fX), number(row, fY), std::max(0, number(row, fWidth)),
                          std::max(0, number(row, fHeight)));
        if (button->geometry() != place)
            button->setGeometry(place);
        const TValue glyph = keys.BookmarkValue(row, fGlyph);
        const QImage picture = glyph.IsNull() ? QImage() : GlyphToImageOrNull(glyph.bytes());
        if (picture != button->UpGlyph) {
            button->UpGlyph = picture;
            button->DownGlyph = picture;
            InvertBitmap(button->DownGlyph);
            button->setGlyph(button->down() && !button->KeepGlyph ? button->DownGlyph : picture);
            button->setFaceColor(picture.isNull() ? background : ColorValueToColor(KeyFaceColor(picture)));
        }
    }
    UpdateKeyAreaSize();
    UpdateTypedTexts(); // an undone step may have changed the characters
}

void TKbFm::AttachButtonEvents()
{
    ButtonType *button = m_currentButton;
    // An error is reported in the name of the key button that was clicked.
    connect(button, &QAbstractButton::clicked, this,
            ReportErrors(button, [this, button] { KeyButtonClick(button); }));
}

void TKbFm::ClearButtons()
{
    m_state.ForgetKeys();
    m_currentButton = nullptr;
    if (m_focusKey) {
        m_focusKey->setKeyFocus(false);
        m_focusKey = nullptr; // m_focusRow names its row for the next build
    }
    std::vector<ButtonType *> buttons;
    buttons.swap(m_buttons);
    m_keyTexts.clear();
    for (auto it = buttons.rbegin(); it != buttons.rend(); ++it) {
        ButtonType *button = *it;
        button->removeEventFilter(this);
        if (m_clickDepth > 0) {
            // A key's own click handler asked for this: the clicked button is
            // still in use, so every button goes once the click is over.
            button->hide();
            button->deleteLater();
        } else {
            delete button;
        }
    }
    UpdateKeyAreaSize();
}

void TKbFm::RereadButtonTexts()
{
    const CodePage &cp = CodePage::current();
    for (size_t i = 0; i < m_buttons.size() && i < m_keyTexts.size(); ++i) {
        m_buttons[i]->setToolTip(cp.decode(m_keyTexts[i].hint));
        m_buttons[i]->setAccessibleName(cp.decode(m_keyTexts[i].name));
    }
    UpdateTypedTexts();
}

void TKbFm::UpdateTypedTexts()
{
    std::vector<TBookmark> rows;
    rows.reserve(m_buttons.size());
    for (const ButtonType *button : m_buttons)
        rows.push_back(button->KeyRow);
    const std::vector<TKbState::TResolved> typed = m_state.PeekKeys(rows);
    const CodePage &cp = CodePage::current();
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const TKbState::TResolved &r = typed[i];
        // Keys of other kinds (Shift, Enter, a dead key, the space bar) are
        // told by their names.
        QString text;
        if ((r.Code == KeyTypes::Alpha || r.Code == KeyTypes::Num) && !r.Text.empty())
            text = cp.decode(r.Text);
        if (text.trimmed().isEmpty())
            text.clear();
        m_buttons[i]->setTypedText(text);
    }
}

void TKbFm::SetFocusKey(ButtonType *button)
{
    if (button && std::find(m_buttons.begin(), m_buttons.end(), button) == m_buttons.end())
        button = nullptr;
    if (button == m_focusKey)
        return;
    if (m_focusKey)
        m_focusKey->setKeyFocus(false);
    m_focusKey = button;
    m_focusRow = button ? button->KeyRow : TBookmark();
    if (!button || !hasFocus())
        return;
    button->setKeyFocus(true);
    ensureWidgetVisible(button, 4, 4);
    QAccessibleEvent event(button, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}

ButtonType *TKbFm::FirstFocusKey() const
{
    ButtonType *first = nullptr;
    for (ButtonType *button : m_buttons) {
        const QRect r = button->geometry();
        if (r.isEmpty() || button->isHidden())
            continue;
        if (!first || r.top() < first->y() || (r.top() == first->y() && r.left() < first->x()))
            first = button;
    }
    return first;
}

bool TKbFm::MoveFocusKey(int arrowKey)
{
    ButtonType *from = m_focusKey;
    if (!from)
        return false;
    const QRect a = from->geometry();
    const QPointF ca = QRectF(a).center();
    // Keys across the way (sharing a row for Left/Right, a column for Up/Down)
    // come first; among them, and then among the others, the nearest, a step
    // aside counting more outside the row or column.
    ButtonType *best = nullptr;
    bool bestInLine = false;
    double bestScore = 0;
    for (ButtonType *button : m_buttons) {
        const QRect r = button->geometry();
        if (button == from || r.isEmpty() || button->isHidden())
            continue;
        const QPointF c = QRectF(r).center();
        double along = 0, across = 0;
        bool inLine = false;
        switch (arrowKey) {
        case Qt::Key_Left:
        case Qt::Key_Right:
            along = arrowKey == Qt::Key_Right ? c.x() - ca.x() : ca.x() - c.x();
            across = std::abs(c.y() - ca.y());
            inLine = r.top() <= a.bottom() && r.bottom() >= a.top();
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
            along = arrowKey == Qt::Key_Down ? c.y() - ca.y() : ca.y() - c.y();
            across = std::abs(c.x() - ca.x());
            inLine = r.left() <= a.right() && r.right() >= a.left();
            break;
        default:
            return false;
        }
        if (along <= 0)
            continue;
        const double score = inLine ? along + across : along + 2 * across;
        if (!best || (inLine && !bestInLine) || (inLine == bestInLine && score < bestScore)) {
            best = button;
            bestInLine = inLine;
            bestScore = score;
        }
    }
    if (!best)
        return false;
    SetFocusKey(best);
    return true;
}

void TKbFm::KeyButtonClick(ButtonType *Sender)
{
    const auto it = std::find(m_buttons.begin(), m_buttons.end(), Sender);
    if (it == m_buttons.end())
        return;
    SetFocusKey(Sender);
    // A key whose row was deleted since the build is ignored.
    if (!m_keys || !m_keys->BookmarkValid(Sender->KeyRow))
        return;
    struct Depth {
        int &n;
        explicit Depth(int &d) : n(d) { ++n; }
        ~Depth() { --n; }
    } depth(m_clickDepth);
    m_state.PressKey(Sender, Sender->KeyRow);
    UpdateTypedTexts();
    if (OnKeyClick)
        OnKeyClick(Sender);
}

bool TKbFm::GotoKeyRow(const ButtonType *button)
{
    if (!m_keys || !button || !m_keys->BookmarkValid(button->KeyRow))
        return false;
    m_keys->CheckBrowseMode(); // a row in edit is posted first
    if (!m_keys->BookmarkValid(button->KeyRow))
        return false;
    m_keys->GotoBookmark(button->KeyRow);
    return true;
}

void TKbFm::ShowKeyPressed(TKeyRef key, bool down)
{
    if (auto *button = qobject_cast<ButtonType *>(key))
        button->SetPressed(down);
}

void TKbFm::ShowStatus(const QString &text)
{
    if (m_statusLabel)
        m_statusLabel->setText(text);
}

void TKbFm::InsertText(const std::string &text)
{
    QWidget *target = m_targetEdit;
    if (!target)
        return;
    // The character is a byte of the user's code page; a NUL byte ends it.
    const std::string bytes = text.substr(0, text.find('\0'));
    const QString s = CodePage::current().decode(bytes);
    if (auto *line = qobject_cast<QLineEdit *>(target)) {
        line->insert(s);
    } else if (auto *rich = qobject_cast<QTextEdit *>(target)) {
        QTextCursor cursor = rich->textCursor();
        cursor.insertText(s);
        rich->setTextCursor(cursor);
    } else if (auto *plain = qobject_cast<QPlainTextEdit *>(target)) {
        QTextCursor cursor = plain->textCursor();
        cursor.insertText(s);
        plain->setTextCursor(cursor);
    } else {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, s);
        QApplication::sendEvent(target, &press);
    }
}

void TKbFm::SendKey(int key)
{
    if (!m_targetEdit)
        return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(m_targetEdit, &press);
}

void TKbFm::SendBackspace()
{
    SendKey(Qt::Key_Backspace);
}

void TKbFm::SendDelete()
{
    SendKey(Qt::Key_Delete);
}

bool TKbFm::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_building && (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        && watched->parent() == m_keyArea)
        UpdateKeyAreaSize();
    return QScrollArea::eventFilter(watched, event);
}

void TKbFm::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (m_buttons.empty() || mods != Qt::NoModifier) {
        QScrollArea::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!m_focusKey)
            SetFocusKey(FirstFocusKey());
        else
            MoveFocusKey(event->key());
        event->accept();
        return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        event->accept();
        if (event->isAutoRepeat())
            return; // one press, one click, as with the mouse
        if (!m_focusKey)
            SetFocusKey(FirstFocusKey());
        if (ButtonType *key = m_focusKey)
            key->click(); // as a mouse click does; errors are reported by its handler
        return;
    default:
        QScrollArea::keyPressEvent(event);
        return;
    }
}

void TKbFm::focusInEvent(QFocusEvent *event)
{
    QScrollArea::focusInEvent(event);
    if (!m_focusKey) {
        m_focusKey = FirstFocusKey();
        m_focusRow = m_focusKey ? m_focusKey->KeyRow : TBookmark();
    }
    ButtonType *key = m_focusKey;
    if (!key)
        return;
    key->setKeyFocus(true);
    ensureWidgetVisible(key, 4, 4);
    // The frame's own focus is announced when this handler is over; the key
    // is announced after it, as the one that holds the focus.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (hasFocus() && m_focusKey && m_focusKey->hasKeyFocus()) {
                QAccessibleEvent focus(m_focusKey.data(), QAccessible::Focus);
                QAccessible::updateAccessibility(&focus);
            }
        },
        Qt::QueuedConnection);
}

void TKbFm::focusOutEvent(QFocusEvent *event)
{
    QScrollArea::focusOutEvent(event);
    if (m_focusKey)
        m_focusKey->setKeyFocus(false);
}

void TKbFm::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    UpdateKeyAreaSize();
}

void TKbFm::UpdateKeyAreaSize()
{
    QRect used(0, 0, 0, 0);
    for (const ButtonType *button : m_buttons)
        used |= button->geometry();
    const QSize view = viewport()->size();
    m_keyArea->resize(std::max(view.width(), used.right() + 1),
                      std::max(view.height(), used.bottom() + 1));
}

} // namespace kf
