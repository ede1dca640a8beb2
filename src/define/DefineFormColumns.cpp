#include "define/DefineForm.h"

#include "dbctrls/DBGrid.h"
#include "dbctrls/DBImage.h"
#include "dbctrls/DBNavigator.h"
#include "model/GlyphCodec.h"
#include "model/KeyCodes.h"
#include "model/KeyImage.h"
#include "model/KeyPictures.h"
#include "model/MainData.h"

#include <QHBoxLayout>
#include <QSplitter>

#include <algorithm>

namespace kf {

namespace {

constexpr int kKeyGridWidth = 468;

} // namespace

std::vector<TCodeEntry> TDefineFm::KeyTypeCodes()
{
    std::vector<TCodeEntry> codes;
    for (const TNamedCode &n : KeyTypes::kKeyTypeNames)
        codes.push_back({QString::fromLatin1(n.caption), n.code});
    return codes;
}

std::vector<TCodeEntry> TDefineFm::AccentCodes()
{
    std::vector<TCodeEntry> codes;
    for (const TNamedCode &n : KeyTypes::kAccentNames)
        codes.push_back({QString::fromLatin1(n.caption), n.code});
    codes.push_back({QString::fromLatin1(KeyTypes::kNoAccent.caption), KeyTypes::kNoAccent.code});
    return codes;
}

std::vector<TCodeEntry> TDefineFm::FingerCodes()
{
    std::vector<TCodeEntry> codes;
    for (const TNamedCode &n : Fingers::kNames)
        codes.push_back({QString::fromLatin1(n.caption), n.code});
    return codes;
}

void TDefineFm::buildGrids()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 133, 792, 357);
    auto *layout = new QHBoxLayout(Panel1);
    layout->setContentsMargins(0, 0, 0, 0);

    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1);

    DBGrid = new TDBGrid(Splitter1);
    DBGrid->setObjectName(QStringLiteral("DBGrid"));
    DBGrid->setAccessibleName(QStringLiteral("Keys"));
    CharGrid = new TDBGrid(Splitter1);
    CharGrid->setObjectName(QStringLiteral("CharGrid"));
    CharGrid->setAccessibleName(QStringLiteral("Characters"));
    Splitter1->addWidget(DBGrid);
    Splitter1->addWidget(CharGrid);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    const int handle = Splitter1->handleWidth();
    Splitter1->setSizes({kKeyGridWidth, 792 - kKeyGridWidth - handle});

    auto codeList = [](std::string field, const char *title, int width, std::vector<TCodeEntry> codes,
                       int rows) {
        TColumn c(std::move(field), QString::fromLatin1(title), width, TColumnKind::CodeList);
        c.Codes = std::move(codes);
        c.DropDownRows = rows;
        return c;
    };

    std::vector<TColumn> keyColumns;
    keyColumns.emplace_back("Name", QStringLiteral("Name"), 8, TColumnKind::Text);
    keyColumns.back().FitText = true;
    keyColumns.emplace_back("KeyValue", QStringLiteral("Value"), 6, TColumnKind::Number);
    keyColumns.push_back(codeList("KeyType", "KeyType", 8, KeyTypeCodes(), 8));
    keyColumns.push_back(codeList("KeyType2", "KeyType2", 8, KeyTypeCodes(), 8));
    keyColumns.push_back(codeList("Finger", "Finger", 7, FingerCodes(), 10));
    keyColumns.emplace_back("Width", QStringLiteral("Width"), 4, TColumnKind::Number);
    keyColumns.emplace_back("Height", QStringLiteral("Height"), 5, TColumnKind::Number);
    keyColumns.emplace_back("X", QStringLiteral("X"), 4, TColumnKind::Number);
    keyColumns.emplace_back("Y", QStringLiteral("Y"), 4, TColumnKind::Number);
    keyColumns.emplace_back("Glyph", QStringLiteral("Glyph"), 7, TColumnKind::Picture);
    keyColumns.emplace_back("Hint", QStringLiteral("Hint"), 10, TColumnKind::Text);
    DBGrid->SetColumns(std::move(keyColumns));
    DBGrid->SetTitlesClickable(true);
    DBGrid->SetRowsResizable(true);

    std::vector<TColumn> charColumns;
    charColumns.emplace_back("Name", QStringLiteral("Name"), 10, TColumnKind::Text);
    charColumns.back().FitText = true; // names such as "Space AltGr shifted" are read whole
    charColumns.emplace_back("Code", QStringLiteral("Code"), 5, TColumnKind::Number);
    charColumns.emplace_back("KeyNo", QStringLiteral("KeyNo"), 8, TColumnKind::Number);
    charColumns.emplace_back("Shift", QStringLiteral("Shift"), 4, TColumnKind::Check);
    charColumns.emplace_back("AltGr", QStringLiteral("AltGr"), 4, TColumnKind::Check);
    charColumns.push_back(codeList("Accent", "Accent", 11, AccentCodes(), 11));
    CharGrid->SetColumns(std::move(charColumns));

    if (DataMod) {
        DBGrid->SetDataSource(&DataMod->MainSource);
        DBNavigator1->SetDataSource(&DataMod->MainSource);
        KeyImage->SetDataSource(&DataMod->MainSource);
        CharGrid->SetDataSource(&DataMod->CtblSource);
        DBNavigator2->SetDataSource(&DataMod->CtblSource);
    }
    KeyImage->SetDataField("Glyph");
    // Only a picture that a package can hold is taken.
    KeyImage->SetPictureCheck([](const QImage &picture) {
        if (DataMod)
            CheckKeyPicture(picture, DataMod->KeyPictureRoom());
    });

    connect(DBGrid, &TDBGrid::TitleClick, this,
            [this](int, const QString &fieldName) { DBGridTitleClick(fieldName); });
}

} // namespace kf
