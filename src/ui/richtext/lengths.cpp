// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/richtext/lengths.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cmath>

namespace ostrum::ui {

namespace {

constexpr double kInchesPerCm = 0.3937007874;
constexpr double kInchesPerMm = 0.03937007874;
constexpr double kPointsPerInch = 72.0;
constexpr double kPicasPerInch = 6.0;
constexpr double kPercent = 100.0;
constexpr std::array<int, 7> kSizeSteps = {8, 10, 12, 14, 18, 24, 36};

int clampLength(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    return static_cast<int>(std::lround(std::clamp(value, -double{kMaxLength}, double{kMaxLength})));
}

// The factor that turns a number in `unit` into pixels, or nothing for an unknown unit.
std::optional<double> unitFactor(QStringView unit, const LengthContext& c) {
    if (unit.isEmpty() || unit == u"px") {
        return 1.0;
    }
    if (unit == u"ex") {
        return double(c.xHeight);
    }
    if (unit == u"em") {
        return double(c.textHeight);
    }
    if (unit == u"in") {
        return double(c.dpi);
    }
    if (unit == u"cm") {
        return c.dpi * kInchesPerCm;
    }
    if (unit == u"mm") {
        return c.dpi * kInchesPerMm;
    }
    if (unit == u"pt") {
        return c.dpi / kPointsPerInch;
    }
    if (unit == u"pc") {
        return c.dpi / kPicasPerInch;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> parseLength(QStringView text, const LengthContext& context) {
    QStringView s = text.trimmed();
    int sign = 0;
    if (s.startsWith(u'+') || s.startsWith(u'-')) {
        sign = s.front() == u'+' ? 1 : -1;
        s = s.mid(1);
    }
    qsizetype numberEnd = 0;
    while (numberEnd < s.size() && (s[numberEnd].isDigit() || s[numberEnd] == u'.')) {
        ++numberEnd;
    }
    bool ok = false;
    const double number = s.left(numberEnd).toDouble(&ok);
    if (!ok) {
        return std::nullopt;
    }
    const QString unit = s.mid(numberEnd).trimmed().toString().toLower();
    double pixels = 0;
    if (unit == u"%") {
        pixels = context.current * number / kPercent;
    } else if (const auto factor = unitFactor(unit, context)) {
        pixels = number * *factor;
    } else {
        return std::nullopt;
    }
    if (sign != 0) {
        return clampLength(context.current + sign * pixels);
    }
    return clampLength(pixels);
}

std::optional<int> parseFontSize(QStringView text, const LengthContext& context) {
    const QStringView trimmed = text.trimmed();
    bool isStep = false;
    const int step = trimmed.toInt(&isStep);
    if (isStep && trimmed.front().isDigit() && step >= 1 && step <= static_cast<int>(kSizeSteps.size())) {
        return kSizeSteps[static_cast<std::size_t>(step - 1)];
    }
    const auto size = parseLength(text, context);
    if (!size || *size < 1) {
        return std::nullopt;
    }
    return size;
}

}  // namespace ostrum::ui
