#include "shell/Palette.h"

#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>

namespace tolvan {

namespace {

constexpr std::array<std::array<int, 3>, 12> kEntries = {{
    {255, 182, 193}, {144, 238, 144}, {173, 216, 230}, {255, 255, 224}, {211, 211, 211}, {224, 255, 255},
    {255, 182, 255}, {255, 200, 150}, {216, 191, 216}, {255, 192, 203}, {175, 238, 238}, {222, 184, 135},
}};

bool g_initialised = false;

} // namespace

void Palette::InitColorPalette()
{
    g_initialised = true;
}

bool Palette::initialised()
{
    return g_initialised;
}

QColor Palette::entry(int index)
{
    if (index < 1 || index > static_cast<int>(kEntries.size())) {
        return {};
    }
    const auto& e = kEntries[static_cast<size_t>(index - 1)];
    return QColor(e[0], e[1], e[2]);
}

namespace {

double channel(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c)
{
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The grey of a relative luminance.
QColor greyOf(double lum)
{
    lum = std::clamp(lum, 0.0, 1.0);
    const double c = lum <= 0.0031308 ? lum * 12.92 : 1.055 * std::pow(lum, 1 / 2.4) - 0.055;
    const int v = std::clamp(int(std::floor(c * 255)), 0, 255);
    return QColor(v, v, v);
}

constexpr double kDisabledRatio = 4.6; // a little above 4.5, so rounding never falls below it

} // namespace

double Palette::contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Palette::readableText(const QColor& background, bool enabled)
{
    const bool dark = contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background);
    if (enabled) {
        return dark ? QColor(Qt::black) : QColor(Qt::white);
    }
    const double lb = luminance(background);
    if (dark) {
        QColor grey = greyOf((lb + 0.05) / kDisabledRatio - 0.05);
        // Rounding to whole steps can land a shade too light; step down until it reads.
        while (grey.red() > 0 && contrastRatio(grey, background) < kDisabledRatio) {
            grey = QColor(grey.red() - 1, grey.red() - 1, grey.red() - 1);
        }
        return grey;
    }
    QColor grey = greyOf(kDisabledRatio * (lb + 0.05) - 0.05);
    while (grey.red() < 255 && contrastRatio(grey, background) < kDisabledRatio) {
        grey = QColor(grey.red() + 1, grey.red() + 1, grey.red() + 1);
    }
    return grey;
}

QString Palette::readableStyle(const QColor& background)
{
    return QStringLiteral("QWidget { background-color: %1; color: %2; } QWidget:disabled { color: %3; }")
        .arg(background.name(), readableText(background, true).name(), readableText(background, false).name());
}

void Palette::makeDisabledTextReadable(QWidget* screen)
{
    QPalette pal = screen->palette();
    for (QPalette::ColorRole text : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        const QPalette::ColorRole back = text == QPalette::WindowText   ? QPalette::Window
                                         : text == QPalette::ButtonText ? QPalette::Button
                                                                        : QPalette::Base;
        pal.setColor(QPalette::Disabled, text, readableText(pal.color(QPalette::Disabled, back), false));
    }
    screen->setPalette(pal);
}

void setBackColor(QWidget* widget, const QColor& color)
{
    if (!widget) {
        return;
    }
    widget->setProperty("backColor", color);
    widget->setStyleSheet(Palette::readableStyle(color));
}

QColor backColor(const QWidget* widget)
{
    return widget ? widget->property("backColor").value<QColor>() : QColor();
}

} // namespace tolvan
