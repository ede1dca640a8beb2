#pragma once
// A picture box bound to a picture field of the current row. It shows the
// row's picture centred and unscaled on its background colour. A change to the
// shown picture marks it modified; a modified picture is written into the
// field whenever the cursor gathers the row's pending changes (before every
// post, whoever posts: the navigator, a move to another row, a new order, a
// save) and when the focus leaves the box while the row is in edit. Esc shows
// the row's picture again.
// Keys: Ctrl+C / Ctrl+Insert copy, Ctrl+V / Shift+Insert paste,
// Ctrl+X / Shift+Delete cut.
// Assistive technology sees an image named by the box's accessibleName
// ("Picture" when none is given) and described by what it shows ("Picture
// 40 x 40", "No picture").

#include "table/DataBinding.h"
#include "model/GlyphCache.h"

#include <QColor>
#include <QFrame>
#include <QImage>
#include <functional>
#include <string>

namespace kf {

class TRecordTable;

class TDBImage : public QFrame, private IBoundView {
    Q_OBJECT
public:
    explicit TDBImage(QWidget *parent = nullptr);
    ~TDBImage() override;

    void SetDataSource(TDataSource *source) { m_binding.SetDataSource(source); } // not owned
    TDataSource *DataSource() const { return m_binding.DataSource(); }
    TRecordTable *DataSet() const { return m_binding.DataSet(); }
    void SetDataField(const std::string &field);
    const std::string &DataField() const { return m_field; }

    // The picture shown (a null image: none).
    const QImage &Picture() const { return m_picture; }
    // Replaces the shown picture and marks it modified. A picture the
    // picture check refuses changes nothing (the check's error goes on).
    void SetPicture(const QImage &picture);
    // A check every new picture must pass, by SetPicture or by a paste; it
    // throws to refuse the picture. None: every picture is taken.
    using TPictureCheck = std::function<void(const QImage &)>;
    void SetPictureCheck(TPictureCheck check) { m_check = std::move(check); }
    // Whether the shown picture differs from the row's since it was loaded.
    bool Modified() const { return m_modified; }
    // Shows the row's stored picture and drops any change not yet written.
    // The stored picture is decoded once per value of the field: loading the
    // same row's unchanged picture again shows the image decoded before.
    void LoadPicture();

    // What the box shows, as assistive technology hears it.
    QString ShownDescription() const { return m_shown; }

    void SetBackgroundColor(const QColor &color);
    QColor BackgroundColor() const { return m_background; }

    // Clipboard: copy does nothing without a picture; paste changes nothing
    // when the clipboard holds no picture or one the picture check refuses;
    // cut needs a row that can be edited.
    void CopyToClipboard() const;
    void PasteFromClipboard();
    void CutToClipboard();

signals:
    void PictureChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void BindingChanged() override;
    void CurrentRowChanged(TRecordTable &) override;
    void DataSetReset(TRecordTable &) override;
    void CurrentValuesChanged(TRecordTable &, int fieldIndex) override;
    void StateChanged(TRecordTable &) override;
    void RowChanged(TRecordTable &, int viewIndex) override;
    // The cursor gathers the pending changes of the row before a post.
    void UpdateData(TRecordTable &) override;

    bool editing() const;
    bool canEdit() const;
    // Writes a modified picture into the field of the row in edit.
    void writePicture();
    void updateShownDescription();

    TRecordTable *table() const { return m_binding.DataSet(); }

    std::string m_field;
    QImage m_picture;
    bool m_modified = false;
    bool m_writing = false;
    QColor m_background;
    QString m_shown;
    TPictureCheck m_check;
    TGlyphCache m_stored{4}; // the row's stored picture, decoded once per value
    TDataBinding m_binding{*this}; // last: it lets go before the rest goes
};

} // namespace kf
