#include "window/Layout.h"

#include "window/Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include <algorithm>
#include <map>
#include <string_view>

namespace kven {

namespace {

using enum ControlKind;

constexpr Placement kMainWindow[] = {
    {"Label2", Label, "ClientArea", {472, 0, 110, 19}, "KVEN ver4V", 0},
    {"Button1", Button, "ClientArea", {456, 32, 75, 25}, "Start", 2},
    {"Button2", Button, "ClientArea", {544, 32, 75, 25}, "Open", 3},
    {"Button4", Button, "ClientArea", {456, 64, 75, 25}, "Stop", 5},
    {"Button7", Button, "ClientArea", {544, 64, 75, 25}, "Paste", 20},
    {"Button3", Button, "ClientArea", {544, 96, 75, 25}, "Quit", 4},
    {"Label1", Label, "ClientArea", {456, 109, 37, 16}, "Voice", 0},
    {"ComboBox1", ComboBox, "ClientArea", {456, 133, 161, 24}, "", 8},
    {"Label6", Label, "ClientArea", {456, 162, 42, 16}, "Speed", 0},
    {"ScrollBar3", ScrollBar, "ClientArea", {456, 186, 161, 16}, "", 21},
    {"Button9", Button, "ClientArea", {456, 483, 73, 25}, "Reload", 6},
    {"Button10", Button, "ClientArea", {544, 483, 73, 25}, "Save", 7},
    {"PageControl1", PageControl, "ClientArea", {448, 216, 177, 257}, "", 9},
    {"TabSheet1", TabSheet, "PageControl1", {}, "Skip", 0},
    {"TabSheet2", TabSheet, "PageControl1", {}, "Talk", 0},
    {"TabSheet3", TabSheet, "PageControl1", {}, "etc", 0},
    {"ListBox1", ListBox, "TabSheet1", {8, 8, 153, 177}, "", 10},
    {"Button5", Button, "TabSheet1", {4, 193, 73, 25}, "Add", 11},
    {"Button6", Button, "TabSheet1", {92, 193, 73, 25}, "Del", 12},
    {"Label3", Label, "TabSheet2", {24, 5, 118, 12}, "読み上げる記号（全角）", 0},
    {"Memo5", Memo, "TabSheet2", {8, 24, 153, 193}, "", 13},
    {"CheckBox2", CheckBox, "TabSheet3", {16, 9, 97, 17}, "AA skip", 14},
    {"Label4", Label, "TabSheet3", {32, 40, 112, 16}, "不読文字の上限", 0},
    {"ScrollBar1", ScrollBar, "TabSheet3", {0, 64, 169, 17}, "", 16},
    {"Label5", Label, "TabSheet3", {32, 96, 112, 16}, "空白文字の上限", 0},
    {"ScrollBar2", ScrollBar, "TabSheet3", {0, 120, 169, 17}, "", 17},
    {"CheckBox4", CheckBox, "TabSheet3", {16, 152, 137, 17}, "リピート抑制", 19},
    {"CheckBox1", CheckBox, "TabSheet3", {16, 176, 137, 17}, "青空文庫ルビ", 15},
    {"CheckBox3", CheckBox, "TabSheet3", {16, 200, 137, 17}, "見出しサーチ", 18},
    // Last, so that the editor lies above the panel when the resize toggle enlarges it.
    {"Memo1", Memo, "ClientArea", {8, 0, 430, 513}, "", 1},
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
        return bar;
    }
    case ListBox: return new QListWidget;
    case Memo: return new QPlainTextEdit;
    case PageControl: return new QTabWidget;
    case TabSheet: return new QWidget;
    }
    return new QWidget;
}

template<class W> void bindControl(W*& control, const QWidget& client, const char* name)
{
    control = client.findChild<W*>(QString::fromLatin1(name));
}

} // namespace

std::span<const Placement> mainWindowLayout()
{
    return kMainWindow;
}

void buildControls(QWidget& client, std::span<const Placement> layout, const std::vector<QWidget*>& given)
{
    std::map<std::string_view, QWidget*> built{{"ClientArea", &client}};
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const Placement& row : layout) {
        const QString name = QString::fromLatin1(row.name);
        const QString caption = QString::fromUtf8(row.caption);
        const auto found =
            std::find_if(given.begin(), given.end(), [&](QWidget* w) { return w->objectName() == name; });
        QWidget* widget = found != given.end() ? *found : make(row.kind, caption);
        widget->setObjectName(name);
        QWidget* parent = built.at(row.parent);
        if (row.kind == TabSheet) {
            static_cast<QTabWidget*>(parent)->addTab(widget, caption);
        } else {
            widget->setParent(parent);
            widget->setGeometry(row.rect);
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

void TForm1::createControls()
{
    setWindowTitle(QStringLiteral("KVEN"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setFont(japaneseFont(16));

    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    buildControls(*client, mainWindowLayout(), {Memo1});
    bindControl(Label1, *client, "Label1");
    bindControl(Label2, *client, "Label2");
    bindControl(Label3, *client, "Label3");
    bindControl(Label4, *client, "Label4");
    bindControl(Label5, *client, "Label5");
    bindControl(Label6, *client, "Label6");
    bindControl(Button1, *client, "Button1");
    bindControl(Button2, *client, "Button2");
    bindControl(Button3, *client, "Button3");
    bindControl(Button4, *client, "Button4");
    bindControl(Button5, *client, "Button5");
    bindControl(Button6, *client, "Button6");
    bindControl(Button7, *client, "Button7");
    bindControl(Button9, *client, "Button9");
    bindControl(Button10, *client, "Button10");
    bindControl(CheckBox1, *client, "CheckBox1");
    bindControl(CheckBox2, *client, "CheckBox2");
    bindControl(CheckBox3, *client, "CheckBox3");
    bindControl(CheckBox4, *client, "CheckBox4");
    bindControl(ScrollBar1, *client, "ScrollBar1");
    bindControl(ScrollBar2, *client, "ScrollBar2");
    bindControl(ScrollBar3, *client, "ScrollBar3");
    bindControl(TabSheet1, *client, "TabSheet1");
    bindControl(TabSheet2, *client, "TabSheet2");
    bindControl(TabSheet3, *client, "TabSheet3");
    bindControl(ComboBox1, *client, "ComboBox1");
    bindControl(PageControl1, *client, "PageControl1");
    bindControl(ListBox1, *client, "ListBox1");
    bindControl(Memo5, *client, "Memo5");

    Label2->setFont(japaneseFont(19, true));
    Label3->setFont(japaneseFont(12));
    // Labels size themselves to their text in the font at hand, from their design place.
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6})
        label->adjustSize();
    Button4->setEnabled(false);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setMaxVisibleItems(8);
    for (auto [bar, range] :
         {std::pair{ScrollBar1, kLimitSlider}, {ScrollBar2, kLimitSlider}, {ScrollBar3, kSpeedSlider}}) {
        bar->setRange(range.min, range.max);
        bar->setValue(std::max(range.min, 0));
    }
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    Memo5->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo5->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo5->setTabChangesFocus(true);
    talkText_ = std::make_unique<EditorText>(*Memo5);
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4})
        box->setChecked(true);
    PageControl1->setCurrentIndex(1);

    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTabChangesFocus(true);
    // The selection is drawn only while the editor has the keyboard focus.
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Inactive, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Inactive, QPalette::Text));
    Memo1->setPalette(palette);
    resizeToggle_.setEditorFontPoints(ResizeToggle::kEditorPoints);
    Memo1->raise();
    Memo1->setFocus();
    Memo1->setAcceptDrops(true);
    new FileDrop(*this, *Memo1->viewport(), [this](const std::string& path) { openDropped(path); });
}

void TForm1::createMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    Read1 = MainMenu1->addMenu(QStringLiteral("Read"));
    Read1->setObjectName(QStringLiteral("Read1"));
    const struct {
        QAction*& action;
        QMenu* menu;
        const char* name;
        const char* caption;
        QKeySequence key;
    } items[] = {{Open1, File1, "Open1", "Open", QKeySequence(Qt::Key_F2)},
                 {Export1, File1, "Export1", "音声ファイルに書き出す…", QKeySequence()},
                 {Quit1, File1, "Quit1", "Quit", QKeySequence()},
                 {Start1, Read1, "Start1", "Start", QKeySequence(Qt::Key_F11)},
                 {Stop1, Read1, "Stop1", "Stop", QKeySequence(Qt::Key_F12)},
                 {Paste1, Read1, "Paste1", "Paste", QKeySequence(Qt::Key_F4)},
                 {Again1, Read1, "Again1", "Again", QKeySequence(Qt::Key_F5)},
                 {Previous1, Read1, "Previous1", "Previous", QKeySequence(Qt::Key_F6)},
                 {Next1, Read1, "Next1", "Next", QKeySequence(Qt::Key_F7)}};
    for (const auto& item : items) {
        if (&item.action == &Again1)
            item.menu->addSeparator();
        item.action = item.menu->addAction(QString::fromUtf8(item.caption));
        item.action->setObjectName(QString::fromLatin1(item.name));
        item.action->setShortcut(item.key);
        // Window-wide: the shortcut map sees the key before the focused control does.
        item.action->setShortcutContext(Qt::WindowShortcut);
        // The shortcuts must work while the menu bar is covered or hidden, so the window owns them.
        addAction(item.action);
    }
    Option1 = MainMenu1->addMenu(QStringLiteral("Option"));
    Option1->setObjectName(QStringLiteral("Option1"));
    Notes1 = Option1->addAction(QStringLiteral("注記を読まない"));
    Notes1->setObjectName(QStringLiteral("Notes1"));
    Notes1->setCheckable(true);
    Words1 = Option1->addAction(QStringLiteral("読み替え辞書"));
    Words1->setObjectName(QStringLiteral("Words1"));
    Words1->setCheckable(true);
    WordsEdit1 = Option1->addAction(QStringLiteral("読み替え辞書を編集…"));
    WordsEdit1->setObjectName(QStringLiteral("WordsEdit1"));
    resize(kClientWidth, kClientHeight + MainMenu1->sizeHint().height());
}

} // namespace kven
