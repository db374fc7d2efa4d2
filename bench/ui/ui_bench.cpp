// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the drawing components, each against a Qt baseline measured in the same run:
//   - measuring and drawing a five-line message body: RichTextDrawer vs QTextDocument;
//   - a 400 x 150 "metal" fill: EffectPainter vs a QLinearGradient fill.
// Every case checks that it drew something before it is timed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QTextDocument>
#include <cstdio>
#include <map>
#include <string>

#include "ui/effects/effect_painter.h"
#include "ui/richtext/rich_text_drawer.h"

namespace {

using namespace ostrum::ui;

constexpr int kBodyWidth = 420;
constexpr int kBodyHeight = 140;
constexpr int kFillWidth = 400;
constexpr int kFillHeight = 150;

const QString kBody = QStringLiteral(
    "<b>The tape could not be read.</b>\n"
    "The medium in drive //./tape0 reported an error at block 1234 of set 2.\n"
    "Check that the tape is inserted and <font color=red>not write-protected</font>.\n"
    "See <a href=\"https://example.com/help\">the help page</a> for what to try next.\n"
    "Press <i>OK</i> to go on with the next block.");

// The same content in Qt's rich-text dialect.
const QString kBodyHtml = QStringLiteral(
    "<html><body style=\"font-family:Verdana; font-size:13px\"><b>The tape could not be read.</b><br>"
    "The medium in drive //./tape0 reported an error at block 1234 of set 2.<br>"
    "Check that the tape is inserted and <font color=red>not write-protected</font>.<br>"
    "See <a href=\"https://example.com/help\">the help page</a> for what to try next.<br>"
    "Press <i>OK</i> to go on with the next block.</body></html>");

bool hasInk(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != 0xFFFFFFFFu) {
                return true;
            }
        }
    }
    return false;
}

void DrawerMeasureAndDraw(benchmark::State& state) {
    RichTextDrawer drawer;
    QImage image(kBodyWidth, kBodyHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        const QSize size = drawer.measure(painter, kBody);
        drawer.draw(painter, QRect(QPoint(0, 0), size));
        benchmark::DoNotOptimize(size);
    }
    if (!hasInk(image)) {
        state.SkipWithError("the drawer drew nothing");
    }
}

void QTextDocumentMeasureAndDraw(benchmark::State& state) {
    QImage image(kBodyWidth, kBodyHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        QTextDocument document;
        document.setDocumentMargin(0);
        document.setHtml(kBodyHtml);
        const QSizeF size = document.size();
        document.drawContents(&painter, QRectF(QPointF(0, 0), size));
        benchmark::DoNotOptimize(size);
    }
    if (!hasInk(image)) {
        state.SkipWithError("QTextDocument drew nothing");
    }
}

void MetalFill(benchmark::State& state) {
    EffectPainter effects;
    QImage image(kFillWidth, kFillHeight, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    for (auto _ : state) {
        QPainter painter(&image);
        effects.fillBackground(painter, kEffectMetal, image.rect(), 0xD0D0D0, 0xA0A0A0, 0x707070, 5, 0);
    }
    if (image.pixel(kFillWidth / 2, kFillHeight / 2) == qRgb(255, 0, 255)) {
        state.SkipWithError("the metal fill left the image unpainted");
    }
}

void LinearGradientFill(benchmark::State& state) {
    QImage image(kFillWidth, kFillHeight, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QLinearGradient gradient(0, 0, kFillWidth, kFillHeight);
    gradient.setColorAt(0, QColor(0xD0, 0xD0, 0xD0));
    gradient.setColorAt(1, QColor(0x70, 0x70, 0x70));
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), gradient);
    }
    if (image.pixel(kFillWidth / 2, kFillHeight / 2) == qRgb(255, 0, 255)) {
        state.SkipWithError("the gradient fill left the image unpainted");
    }
}

// Keeps the time per iteration of every case so that the ratios can be printed at the end.
class RatioReporter final : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!run.error_occurred && run.iterations > 0) {
                nanoseconds[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
    }
    std::map<std::string, double> nanoseconds;
};

}  // namespace

BENCHMARK(DrawerMeasureAndDraw);
BENCHMARK(QTextDocumentMeasureAndDraw);
BENCHMARK(MetalFill);
BENCHMARK(LinearGradientFill);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* ours, const char* baseline) {
        const auto a = reporter.nanoseconds.find(ours);
        const auto b = reporter.nanoseconds.find(baseline);
        if (a == reporter.nanoseconds.end() || b == reporter.nanoseconds.end() || b->second <= 0) {
            std::printf("ratio %s / %s: not measured\n", ours, baseline);
            return false;
        }
        std::printf("ratio %s / %s = %.2f\n", ours, baseline, a->second / b->second);
        return true;
    };
    const bool text = ratio("DrawerMeasureAndDraw", "QTextDocumentMeasureAndDraw");
    const bool fill = ratio("MetalFill", "LinearGradientFill");
    benchmark::Shutdown();
    return text && fill ? 0 : 1;
}
