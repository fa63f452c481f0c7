#include "shell/Palette.h"

#include <QWidget>

#include <array>

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

void setBackColor(QWidget* widget, const QColor& color)
{
    if (!widget) {
        return;
    }
    widget->setProperty("backColor", color);
    widget->setStyleSheet(QStringLiteral("background-color: %1;").arg(color.name()));
}

QColor backColor(const QWidget* widget)
{
    return widget ? widget->property("backColor").value<QColor>() : QColor();
}

} // namespace tolvan
