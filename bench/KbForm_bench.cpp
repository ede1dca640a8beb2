// Building the drawn keyboard: BuildButtons over a key table of 300 keys with
// pictures, alone and with the first paint of every key.
//
//   kbform_bench [benchmark options]
//   kbform_bench --screenshot=out.png   draws a 48-key keyboard into a PNG

#include "model/GlyphCodec.h"
#include "keyboard/KbForm.h"
#include "model/MainData.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include <cstring>
#include <string>
#include <vector>

using namespace kf;

namespace {

struct KeySpec {
    std::string label;
    int type, type2;
    int width;
};

QRgb KeyColour(int type)
{
    if (type < 8)
        return qRgb(0xEE, 0xEA, 0xDE); // character keys
    if (type >= 2001)
        return qRgb(0xD8, 0xCC, 0xF0); // dead keys
    return qRgb(0xB8, 0xC4, 0xD4);     // modifiers and editing keys
}

// A key picture: the key colour all round (its bottom-left pixel), a raised
// cap with a border and the key's label.
QImage KeyPicture(const KeySpec &k, int height)
{
    QImage img(k.width, height, QImage::Format_RGB32);
    const QColor face(KeyColour(k.type));
    img.fill(face);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(face.darker(160), 1));
    p.setBrush(face.lighter(106));
    p.drawRoundedRect(QRectF(1.5, 1.5, k.width - 3, height - 3), 4, 4);
    p.setPen(QColor(0x30, 0x30, 0x38));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(k.label.size() > 2 ? 11 : 15);
    font.setBold(k.label.size() <= 2);
    p.setFont(font);
    p.drawText(QRect(0, 0, k.width, height - 2), Qt::AlignCenter, QString::fromStdString(k.label));
    p.end();
    return img;
}

void AppendKey(TRecordTable &keys, const KeySpec &k, int keyValue, int x, int y, int height)
{
    keys.AppendRecord({TValue(k.label), TValue(int32_t(keyValue)), TValue(int32_t(k.type)),
                       k.type2 ? TValue(int32_t(k.type2)) : TValue(), TValue(int32_t(0)),
                       TValue(ImageToGlyph(KeyPicture(k, height))), TValue(int32_t(k.width)),
                       TValue(int32_t(height)), TValue(int32_t(x)), TValue(int32_t(y)),
                       TValue("Key " + k.label)});
}

// n keys in rows of 15, each with its own picture.
void FillGrid(TRecordTable &keys, int n)
{
    for (int i = 0; i < n; ++i) {
        const int type = i % 10 == 9 ? 1002 : (i % 7 == 6 ? 2003 : 1);
        const KeySpec k{"K" + std::to_string(i), type, 0, 40};
        AppendKey(keys, k, i + 1, (i % 15) * 42, (i / 15) * 42, 40);
    }
}

// A small keyboard, as a user would define it.
void FillKeyboard(TRecordTable &keys)
{
    std::vector<std::vector<KeySpec>> rows(5);
    for (char c : std::string("1234567890"))
        rows[0].push_back({std::string(1, c), 2, 0, 40});
    rows[0].push_back({"Backspace", 8, 0, 82});
    for (char c : std::string("QWERTYUIOP"))
        rows[1].push_back({std::string(1, c), 1, 0, 40});
    rows[1].push_back({"^", 2003, 2005, 40});
    rows[1].push_back({"Del", 46, 0, 40});
    rows[2].push_back({"Caps Lock", 20, 0, 62});
    for (char c : std::string("ASDFGHJKL"))
        rows[2].push_back({std::string(1, c), 1, 0, 40});
    rows[2].push_back({"Enter", 13, 0, 62});
    rows[3].push_back({"Shift", 1002, 0, 84});
    for (char c : std::string("ZXCVBNM"))
        rows[3].push_back({std::string(1, c), 1, 0, 40});
    rows[3].push_back({"Shift ", 1003, 0, 82});
    rows[4] = {{"Ctrl", 1004, 0, 60}, {"Alt", 18, 0, 50}, {"Space", 3, 0, 236},
               {"AltGr", 1000, 0, 50}, {"Ctrl ", 1005, 0, 60}};
    int keyValue = 1;
    for (size_t r = 0; r < rows.size(); ++r) {
        int x = 6 + int(r) * 10;
        for (const KeySpec &k : rows[r]) {
            AppendKey(keys, k, keyValue++, x, 6 + int(r) * 44, 42);
            x += k.width + 2;
        }
    }
}

struct Fixture {
    TDataMod data; // becomes DataMod; the frame binds to it
    QWidget host;
    TKbFm *frame;
    explicit Fixture(int keys)
    {
        data.bkcolor = 0x00503C32;
        data.MainTbl.SetIndexFieldNames(std::string()); // keep the grid in stored order
        FillGrid(data.MainTbl, keys);
        host.resize(660, 560);
        frame = new TKbFm(&host);
        frame->setGeometry(0, 0, 660, 560);
        host.show();
    }
};

void BM_BuildButtons(benchmark::State &state)
{
    Fixture f(int(state.range(0)));
    for (auto _ : state) {
        f.frame->ClearButtons();
        f.frame->BuildButtons(false);
    }
    state.counters["keys"] = double(f.frame->Buttons().size());
}

void BM_BuildButtonsAndPaint(benchmark::State &state)
{
    Fixture f(int(state.range(0)));
    for (auto _ : state) {
        f.frame->ClearButtons();
        f.frame->BuildButtons(false);
        benchmark::DoNotOptimize(f.host.grab());
    }
}

// What every key types, said again after a click changed the state: n keys,
// four characters each (plain, Shift, AltGr, with an accent).
void BM_UpdateTypedTexts(benchmark::State &state)
{
    Fixture f(int(state.range(0)));
    TRecordTable &chars = f.data.Ctbl;
    for (int i = 0; i < int(state.range(0)); ++i)
        for (int v = 0; v < 4; ++v)
            chars.AppendRecord({TValue("c"), TValue(int32_t(33 + (i * 4 + v) % 200)), TValue(int32_t(i + 1)),
                                TValue(v == 1), TValue(v == 2), TValue(int32_t(v == 3 ? 2003 : 0))});
    f.frame->BuildButtons(false);
    for (auto _ : state)
        f.frame->UpdateTypedTexts();
    state.counters["keys"] = double(f.frame->Buttons().size());
    state.counters["chars"] = double(chars.RecordCount());
}

BENCHMARK(BM_BuildButtons)->Arg(45)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateTypedTexts)->Arg(45)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildButtonsAndPaint)->Arg(300)->Unit(benchmark::kMillisecond);

int Screenshot(const char *path)
{
    TDataMod data;
    data.bkcolor = 0x00503C32;
    FillKeyboard(data.MainTbl);
    QWidget host;
    auto *layout = new QVBoxLayout(&host);
    auto *edit = new QLineEdit(QStringLiteral("Typed text goes here"));
    auto *status = new QLabel(QStringLiteral("Circumflex"));
    auto *frame = new TKbFm;
    layout->addWidget(edit);
    layout->addWidget(status);
    layout->addWidget(frame, 1);
    host.resize(600, 330);
    frame->SetTargetEdit(edit);
    frame->SetStatusLabel(status);
    frame->BuildButtons(false);
    host.show();
    // Show a few pressed keys: Shift (inverted picture) and a dead key.
    for (ButtonType *b : frame->Buttons())
        if (b->accessibleName() == QLatin1String("Shift") || b->accessibleName() == QLatin1String("^"))
            b->click();
    QApplication::processEvents();
    const bool ok = host.grab().save(QString::fromLocal8Bit(path));
    std::printf("%s: %zu keys, %s\n", path, frame->Buttons().size(), ok ? "saved" : "NOT saved");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--screenshot=", 13) == 0)
            return Screenshot(argv[i] + 13);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
