#include "window/Layout.h"

#include "window/InterfaceText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>

namespace kven {

namespace {

using enum ControlKind;

constexpr Placement kMainWindow[] = {
    {"versionLabel", Label, "ClientArea", {472, 0, 110, 19}, kVersionCaption, 0},
    {"startButton", Button, "ClientArea", {456, 32, 75, 25}, QT_TRANSLATE_NOOP("KVEN", "Start"), 2},
    {"openButton", Button, "ClientArea", {544, 32, 75, 25}, QT_TRANSLATE_NOOP("KVEN", "Open"), 3},
    {"stopButton", Button, "ClientArea", {456, 64, 75, 25}, QT_TRANSLATE_NOOP("KVEN", "Stop"), 5},
    {"pasteButton", Button, "ClientArea", {544, 64, 75, 25}, QT_TRANSLATE_NOOP("KVEN", "Paste"), 20},
    {"quitButton", Button, "ClientArea", {544, 96, 75, 25}, QT_TRANSLATE_NOOP("KVEN", "Quit"), 4},
    {"voiceLabel", Label, "ClientArea", {456, 109, 37, 16}, QT_TRANSLATE_NOOP("KVEN", "Voice"), 0},
    {"voiceBox", ComboBox, "ClientArea", {456, 133, 161, 24}, "", 8},
    {"speedLabel", Label, "ClientArea", {456, 162, 42, 16}, QT_TRANSLATE_NOOP("KVEN", "Speed"), 0},
    {"speedBar", ScrollBar, "ClientArea", {456, 186, 161, 16}, "", 21},
    {"reloadButton", Button, "ClientArea", {456, 483, 73, 25}, QT_TRANSLATE_NOOP("KVEN", "Reload"), 6},
    {"saveButton", Button, "ClientArea", {544, 483, 73, 25}, QT_TRANSLATE_NOOP("KVEN", "Save"), 7},
    {"listTabs", PageControl, "ClientArea", {448, 216, 177, 257}, "", 9},
    {"skipTab", TabSheet, "listTabs", {}, QT_TRANSLATE_NOOP("KVEN", "Skip"), 0},
    {"talkTab", TabSheet, "listTabs", {}, QT_TRANSLATE_NOOP("KVEN", "Talk"), 0},
    {"optionsTab", TabSheet, "listTabs", {}, QT_TRANSLATE_NOOP("KVEN", "etc"), 0},
    {"skipListBox", ListBox, "skipTab", {8, 8, 153, 177}, "", 10},
    {"addSkipButton", Button, "skipTab", {4, 193, 73, 25}, QT_TRANSLATE_NOOP("KVEN", "Add"), 11},
    {"deleteSkipButton", Button, "skipTab", {92, 193, 73, 25}, QT_TRANSLATE_NOOP("KVEN", "Del"), 12},
    {"talkSymbolsLabel", Label, "talkTab", {24, 5, 118, 12}, "読み上げる記号（全角）", 0},
    {"talkSymbolsEditor", Memo, "talkTab", {8, 24, 153, 193}, "", 13},
    {"aaSkipBox", CheckBox, "optionsTab", {16, 9, 97, 17}, QT_TRANSLATE_NOOP("KVEN", "AA skip"), 14},
    {"unreadLimitLabel", Label, "optionsTab", {32, 40, 112, 16}, "不読文字の上限", 0},
    {"unreadLimitBar", ScrollBar, "optionsTab", {0, 64, 169, 17}, "", 16},
    {"blankLimitLabel", Label, "optionsTab", {32, 96, 112, 16}, "空白文字の上限", 0},
    {"blankLimitBar", ScrollBar, "optionsTab", {0, 120, 169, 17}, "", 17},
    {"repeatBox", CheckBox, "optionsTab", {16, 152, 137, 17}, "リピート抑制", 19},
    {"aozoraRubyBox", CheckBox, "optionsTab", {16, 176, 137, 17}, "青空文庫ルビ", 15},
    {"headingSearchBox", CheckBox, "optionsTab", {16, 200, 137, 17}, "見出しサーチ", 18},
    // Last, so that the editor lies above the panel when the resize toggle enlarges it.
    {"editor", Memo, "ClientArea", {8, 0, 430, 513}, "", 1},
};

QWidget* make(ControlKind kind, const QString& caption)
{
    switch (kind) {
    case Label: return new QLabel(caption);
    case Button: {
        auto* button = new QPushButton(caption);
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    case CheckBox: return new QCheckBox(caption);
    case ComboBox: return new QComboBox;
    case ScrollBar: {
        auto* bar = new QScrollBar(Qt::Horizontal);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setFocusPolicy(Qt::StrongFocus);
        // A scroll bar's keys run against its value by default (Down scrolls a page down by
        // raising it); these are sliders, whose Right and Up raise the value as the mouse does.
        bar->setInvertedControls(false);
        return bar;
    }
    case ListBox: return new QListWidget;
    case Memo: return new QPlainTextEdit;
    case PageControl: return new QTabWidget;
    case TabSheet: return new QWidget;
    }
    return new QWidget;
}

} // namespace

std::span<const Placement> mainWindowLayout()
{
    return kMainWindow;
}

double fittingScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return 1.0;
    // What a window system adds around the client area: the title bar and the borders, and the
    // menu bar above the client area and the status line below it, at the design's font.
    constexpr int kFrameWidth = 8;
    constexpr int kFrameHeight = 40;
    constexpr int kMenuHeight = 26 + 24; // and the status line below the client area
    const QRect available = screen->availableGeometry();
    const double across = double(available.width() - kFrameWidth) / kDesignClient.width();
    const double down = double(available.height() - kFrameHeight) / (kDesignClient.height() + kMenuHeight);
    return std::clamp(std::min(across, down), 0.25, 1.0);
}

int scaled(int designPixels, double scale)
{
    return std::max(1, static_cast<int>(std::lround(designPixels * scale)));
}

void buildControls(QWidget& client, std::span<const Placement> layout, const std::vector<QWidget*>& given, double scale)
{
    std::map<std::string_view, QWidget*> built{{"ClientArea", &client}};
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const Placement& row : layout) {
        const QString name = QString::fromLatin1(row.name);
        const QString caption = interfaceText(row.caption);
        const auto found =
            std::find_if(given.begin(), given.end(), [&](QWidget* w) { return w->objectName() == name; });
        QWidget* widget = found != given.end() ? *found : make(row.kind, caption);
        widget->setObjectName(name);
        QWidget* parent = built.at(row.parent);
        if (row.kind == TabSheet) {
            static_cast<QTabWidget*>(parent)->addTab(widget, caption);
        } else {
            widget->setParent(parent);
            const auto at = [scale](int design) { return static_cast<int>(std::lround(design * scale)); };
            widget->setGeometry(QRect(at(row.rect.x()), at(row.rect.y()), scaled(row.rect.width(), scale),
                                      scaled(row.rect.height(), scale)));
        }
        built[row.name] = widget;
        if (row.tabOrder > 0)
            tabOrder.emplace_back(row.tabOrder, widget);
    }
    std::sort(tabOrder.begin(), tabOrder.end());
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
}

QStringList japaneseFamilies()
{
    return {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("sans-serif")};
}

QFont japaneseFont(int pixels, bool bold)
{
    QFont font;
    font.setFamilies(japaneseFamilies());
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace kven
