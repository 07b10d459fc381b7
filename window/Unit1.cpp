#include "window/Unit1.h"

#include "files/Errors.h"
#include "intake/HTMLconv.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace kven {

namespace {

constexpr int kEditorWidth = 430;
constexpr int kEditorHeight = 513;
constexpr int kEditorPoints = 16;
constexpr int kEnlargedPoints = 32;
constexpr int kMaxSkipEntryLength = 255;
// Entry height of the skip list and of the voice list's drop-down.
constexpr int kEntryHeight = 16;
// The caption of a pasted text, which is no document.
constexpr const char* kTemporaryCaption = "KVEN (temporary)";

QString qs(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString fromSjis(std::string_view sjis)
{
    return QString::fromStdString(cp932::toUtf8(sjis));
}

std::string toSjis(const QString& text)
{
    return cp932::fromUtf8(text.toStdString());
}

// Multi-line text as Shift_JIS with CR LF line breaks, the way the core keeps memo texts.
std::string memoText(const QPlainTextEdit& memo)
{
    const std::string plain = toSjis(memo.toPlainText());
    std::string out;
    out.reserve(plain.size());
    for (const char c : plain) {
        if (c == '\n')
            out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

void addListEntry(QListWidget& list, const QString& text)
{
    auto* item = new QListWidgetItem(text, &list);
    item->setSizeHint(QSize(0, kEntryHeight));
}

QFont japaneseFont(int pixels, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("sans-serif")});
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

template<class W> W* place(W* widget, QWidget* parent, const char* name, int left, int top, int width, int height)
{
    widget->setParent(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QScrollBar* slider(QWidget* parent, const char* name, QRect geometry, int min, int max)
{
    auto* bar = place(new QScrollBar(Qt::Horizontal), parent, name, geometry.x(), geometry.y(), geometry.width(),
                      geometry.height());
    bar->setRange(min, max);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setValue(min < 0 ? 0 : min);
    bar->setFocusPolicy(Qt::StrongFocus);
    return bar;
}

} // namespace

std::optional<std::string> OpenDialogWithDrop::chooseFile(const std::string& initialFolder)
{
    if (dropped) {
        std::optional<std::string> file = std::move(dropped);
        dropped.reset();
        return file;
    }
    return dialogs_.chooseFile(initialFolder);
}

TForm1::TForm1(SpeechEngine& tts, WindowDialogs& dialogs, Clipboard& clipboard, Waiter& waiter,
               std::vector<std::string> args)
    : Memo1(new QPlainTextEdit), OpenDialog1(dialogs), TTS(tts), clipboard_(clipboard), args_(std::move(args)),
      editorText_(*Memo1), openDialog_(dialogs), bookmarks_(*this, shared_),
      settings_(*this, dialogs, settingsFilePath()), intake_(*this, shared_, openDialog_, bookmarks_, PzConv1),
      reader_(*this, shared_, tts, waiter)
{
    PzConv1.JisByteCodeType = btAscii;
    PzConv1.JisKanaConvType = ktZenWithDaku;
    createControls();
    bindEvents();
    guarded([this] { FormCreate(this); });
}

TForm1::~TForm1()
{
    TTS.setOnEndStream({});
    TTS.setOnStreamFailed({});
}

void TForm1::createControls()
{
    setWindowTitle(QStringLiteral("KVEN"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setFont(japaneseFont(16));
    setAcceptDrops(true);

    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);

    Label2 = place(new QLabel(QStringLiteral("KVEN ver4V")), client, "Label2", 472, 0, 110, 19);
    Label2->setFont(japaneseFont(19, true));
    Button1 = place(new QPushButton(QStringLiteral("Start")), client, "Button1", 456, 32, 75, 25);
    Button2 = place(new QPushButton(QStringLiteral("Open")), client, "Button2", 544, 32, 75, 25);
    Button4 = place(new QPushButton(QStringLiteral("Stop")), client, "Button4", 456, 64, 75, 25);
    Button4->setEnabled(false);
    Button7 = place(new QPushButton(QStringLiteral("Paste")), client, "Button7", 544, 64, 75, 25);
    Button3 = place(new QPushButton(QStringLiteral("Quit")), client, "Button3", 544, 96, 75, 25);
    Label1 = place(new QLabel(QStringLiteral("Voice")), client, "Label1", 456, 109, 37, 16);
    ComboBox1 = place(new QComboBox, client, "ComboBox1", 456, 133, 161, 24);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setMaxVisibleItems(8);
    Label6 = place(new QLabel(QStringLiteral("Speed")), client, "Label6", 456, 162, 42, 16);
    ScrollBar3 = slider(client, "ScrollBar3", {456, 186, 161, 16}, -10, 10);
    Button9 = place(new QPushButton(QStringLiteral("Reload")), client, "Button9", 456, 483, 73, 25);
    Button10 = place(new QPushButton(QStringLiteral("Save")), client, "Button10", 544, 483, 73, 25);
    for (QPushButton* button : {Button1, Button2, Button3, Button4, Button7, Button9, Button10}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    PageControl1 = place(new QTabWidget, client, "PageControl1", 448, 216, 177, 257);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Skip"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Talk"));
    PageControl1->addTab(TabSheet3, QStringLiteral("etc"));

    ListBox1 = place(new QListWidget, TabSheet1, "ListBox1", 8, 8, 153, 177);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    Button5 = place(new QPushButton(QStringLiteral("Add")), TabSheet1, "Button5", 4, 193, 73, 25);
    Button6 = place(new QPushButton(QStringLiteral("Del")), TabSheet1, "Button6", 92, 193, 73, 25);
    Button5->setAutoDefault(false);
    Button6->setAutoDefault(false);

    Label3 = place(new QLabel(qs("読み上げる記号（全角）")), TabSheet2, "Label3", 24, 5, 118, 12);
    Label3->setFont(japaneseFont(12));
    Memo5 = place(new QPlainTextEdit, TabSheet2, "Memo5", 8, 24, 153, 193);
    Memo5->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo5->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo5->setTabChangesFocus(true);

    CheckBox2 = place(new QCheckBox(QStringLiteral("AA skip")), TabSheet3, "CheckBox2", 16, 9, 97, 17);
    Label4 = place(new QLabel(qs("不読文字の上限")), TabSheet3, "Label4", 32, 40, 112, 16);
    ScrollBar1 = slider(TabSheet3, "ScrollBar1", {0, 64, 169, 17}, 0, 10);
    Label5 = place(new QLabel(qs("空白文字の上限")), TabSheet3, "Label5", 32, 96, 112, 16);
    ScrollBar2 = slider(TabSheet3, "ScrollBar2", {0, 120, 169, 17}, 0, 10);
    CheckBox4 = place(new QCheckBox(qs("リピート抑制")), TabSheet3, "CheckBox4", 16, 152, 137, 17);
    CheckBox1 = place(new QCheckBox(qs("青空文庫ルビ")), TabSheet3, "CheckBox1", 16, 176, 137, 17);
    CheckBox3 = place(new QCheckBox(qs("見出しサーチ")), TabSheet3, "CheckBox3", 16, 200, 137, 17);
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4})
        box->setChecked(true);
    PageControl1->setCurrentIndex(1);

    // Labels size themselves to their text in the font at hand, from their design place.
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6})
        label->adjustSize();

    // Last, so that the editor lies above the panel when the resize toggle enlarges it.
    place(Memo1, client, "Memo1", 8, 0, kEditorWidth, kEditorHeight);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTabChangesFocus(true);
    Memo1->viewport()->installEventFilter(this);
    Memo1->setAcceptDrops(true);
    // The selection is drawn only while the editor has the keyboard focus.
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Inactive, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Inactive, QPalette::Text));
    Memo1->setPalette(palette);
    setEditorFontPoints(kEditorPoints);
    Memo1->raise();

    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    Open1 = File1->addAction(QStringLiteral("Open"));
    Quit1 = File1->addAction(QStringLiteral("Quit"));
    Read1 = MainMenu1->addMenu(QStringLiteral("Read"));
    Read1->setObjectName(QStringLiteral("Read1"));
    Start1 = Read1->addAction(QStringLiteral("Start"));
    Stop1 = Read1->addAction(QStringLiteral("Stop"));
    Paste1 = Read1->addAction(QStringLiteral("Paste"));
    const std::pair<QAction*, const char*> actions[] = {
        {Open1, "Open1"}, {Quit1, "Quit1"}, {Start1, "Start1"}, {Stop1, "Stop1"}, {Paste1, "Paste1"}};
    for (const auto& [action, name] : actions) {
        action->setObjectName(QString::fromLatin1(name));
        // Window-wide: the shortcut map sees the key before the focused control does.
        action->setShortcutContext(Qt::WindowShortcut);
    }
    Open1->setShortcut(QKeySequence(Qt::Key_F2));
    Start1->setShortcut(QKeySequence(Qt::Key_F11));
    Stop1->setShortcut(QKeySequence(Qt::Key_F12));
    Paste1->setShortcut(QKeySequence(Qt::Key_F4));
    // The shortcuts must work while the menu bar is covered or hidden, so the window owns them.
    addActions({Open1, Quit1, Start1, Stop1, Paste1});

    setTabOrder(Memo1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, Button9);
    setTabOrder(Button9, Button10);
    setTabOrder(Button10, ComboBox1);
    setTabOrder(ComboBox1, PageControl1);
    setTabOrder(PageControl1, ListBox1);
    setTabOrder(ListBox1, Button5);
    setTabOrder(Button5, Button6);
    setTabOrder(Button6, Memo5);
    setTabOrder(Memo5, CheckBox2);
    setTabOrder(CheckBox2, CheckBox1);
    setTabOrder(CheckBox1, ScrollBar1);
    setTabOrder(ScrollBar1, ScrollBar2);
    setTabOrder(ScrollBar2, CheckBox3);
    setTabOrder(CheckBox3, CheckBox4);
    setTabOrder(CheckBox4, Button7);
    setTabOrder(Button7, ScrollBar3);
    Memo1->setFocus();

    const int menuHeight = MainMenu1->sizeHint().height();
    resize(kClientWidth, kClientHeight + menuHeight);
}

void TForm1::bindEvents()
{
    auto click = [this](QPushButton* button, void (TForm1::*handler)(QObject*)) {
        connect(button, &QPushButton::clicked, this,
                [this, button, handler] { guarded([&] { (this->*handler)(button); }); });
    };
    auto trigger = [this](QAction* action, void (TForm1::*handler)(QObject*)) {
        connect(action, &QAction::triggered, this,
                [this, action, handler] { guarded([&] { (this->*handler)(action); }); });
    };
    click(Button1, &TForm1::Button1Click);
    click(Button2, &TForm1::Button2Click);
    click(Button3, &TForm1::Button3Click);
    click(Button4, &TForm1::Button4Click);
    click(Button5, &TForm1::Button5Click);
    click(Button6, &TForm1::Button6Click);
    click(Button7, &TForm1::Button7Click);
    click(Button9, &TForm1::Button9Click);
    click(Button10, &TForm1::Button10Click);
    trigger(Start1, &TForm1::Button1Click);
    trigger(Open1, &TForm1::Button2Click);
    trigger(Quit1, &TForm1::Button3Click);
    trigger(Stop1, &TForm1::Button4Click);
    trigger(Paste1, &TForm1::Button7Click);

    connect(ComboBox1, &QComboBox::activated, this, [this] { guarded([this] { ComboBox1Change(ComboBox1); }); });
    // Typing completes to the first entry that begins with the text; text that begins no
    // entry, or no text, leaves nothing selected.
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) {
        int match = -1;
        if (!typed.isEmpty()) {
            for (int i = 0; i < ComboBox1->count() && match < 0; ++i) {
                if (ComboBox1->itemText(i).startsWith(typed, Qt::CaseInsensitive))
                    match = i;
            }
        }
        {
            const QSignalBlocker block(ComboBox1);
            ComboBox1->setCurrentIndex(match);
            if (match >= 0) {
                ComboBox1->lineEdit()->setSelection(static_cast<int>(typed.size()),
                                                    static_cast<int>(ComboBox1->itemText(match).size() - typed.size()));
            } else {
                ComboBox1->setEditText(typed);
            }
        }
        guarded([this] { ComboBox1Change(ComboBox1); });
    });
    connect(ScrollBar3, &QScrollBar::valueChanged, this, [this] { guarded([this] { ScrollBar3Change(ScrollBar3); }); });
    connect(Memo5, &QPlainTextEdit::textChanged, this, [this] {
        talkSymbolsValid_ = false;
        ++listsRevision_;
    });

    TTS.setOnEndStream(
        [this](int stream, std::int64_t position) { guarded([&] { TTSEndStream(nullptr, stream, position); }); });
    TTS.setOnStreamFailed([this](int stream) {
        reader_.TTSStreamFailed(stream);
        afterStep();
    });
}

bool TForm1::guarded(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const std::exception& e) {
        OpenDialog1.showError(errorBoxText(e.what()));
    }
    return false;
}

// --- Creation, show, resize, close ---

void TForm1::FormCreate(QObject*)
{
    settings_.startupRead([this](int storedVoice) { setUpVoices(storedVoice); });
    setSelStart(0);
    setSelLength(0);
    shared_.currentPath.clear();
    shared_.currentFile.clear();
    firstResize_ = 0;
    shared_.lastSpoken.clear();
    if (!args_.empty())
        intake_.loadFromCommandLine(args_);
}

void TForm1::setUpVoices(int storedVoice)
{
    voiceHandles_ = setUpVoiceList(TTS, *this, storedVoice, NegativeVoiceIndex::selectsNothing);
}

void TForm1::FormShow(QObject*)
{
    if (!args_.empty())
        Button1Click(this);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // Showing the window is its first size notification.
    guarded([this] { FormResize(this); });
    guarded([this] { FormShow(this); });
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !shownOnce_)
        return;
    // Minimizing and bringing back raise no size notification; maximize and restore do.
    const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    const Qt::WindowStates now = windowState();
    if ((before | now) & Qt::WindowMinimized)
        return;
    if ((before & Qt::WindowMaximized) != (now & Qt::WindowMaximized))
        guarded([this] { FormResize(this); });
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // A window system that maximizes asynchronously reports the final size only now; the
    // enlarged editor follows it.
    if (recordedMaximized_ && !applyingState_ && (windowState() & Qt::WindowMaximized))
        Memo1->resize(frameGeometry().width() - 32, frameGeometry().height() - 54);
    // The border is fixed: in the normal state the window keeps its design size.
    if (shownOnce_ && !applyingState_ && windowState() == Qt::WindowNoState) {
        const QSize design(kClientWidth, kClientHeight + MainMenu1->height());
        if (size() != design)
            QTimer::singleShot(0, this, [this, design] {
                if (windowState() == Qt::WindowNoState && size() != design)
                    resize(design);
            });
    }
}

void TForm1::FormResize(QObject*)
{
    if (applyingState_)
        return;
    if (firstResize_ == 0) {
        firstResize_ = 1;
        return;
    }
    applyingState_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{applyingState_};
    if (recordedMaximized_) {
        recordedMaximized_ = false;
        if (windowState() & Qt::WindowMaximized)
            showNormal();
        Memo1->resize(kEditorWidth, kEditorHeight);
        setEditorFontPoints(kEditorPoints);
    } else {
        recordedMaximized_ = true;
        if (!(windowState() & Qt::WindowMaximized))
            showMaximized();
        const QRect outer = frameGeometry();
        Memo1->resize(outer.width() - 32, outer.height() - 54);
        setEditorFontPoints(kEnlargedPoints);
    }
}

void TForm1::setEditorFontPoints(int points)
{
    QFont font = japaneseFont(16);
    font.setPointSize(points);
    Memo1->setFont(font);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (guarded([&] { FormClose(this, event); }))
        event->accept();
    else
        event->ignore();
}

void TForm1::FormClose(QObject*, QCloseEvent*)
{
    Closing();
    // The list gives back its references once; it is not used again.
    voiceHandles_.clear();
}

void TForm1::Closing()
{
    bookmarks_.Closing();
}

void TForm1::Button3Click(QObject*)
{
    close();
}

// --- Reading control ---

void TForm1::afterStep()
{
    if (startEnabled()) {
        Memo1->setExtraSelections({});
        return;
    }
    // The step has moved the cursor past the chunk it handed to the engine; the chunk stays
    // marked while it is spoken.
    QTextEdit::ExtraSelection chunk;
    chunk.cursor = QTextCursor(Memo1->document());
    chunk.cursor.setPosition(editorText_.positionOf(chunkStart_));
    chunk.cursor.setPosition(editorText_.positionOf(chunkEnd_), QTextCursor::KeepAnchor);
    chunk.format.setBackground(Memo1->palette().brush(QPalette::Active, QPalette::Highlight));
    chunk.format.setForeground(Memo1->palette().brush(QPalette::Active, QPalette::HighlightedText));
    Memo1->setExtraSelections({chunk});
}

void TForm1::Button1Click(QObject*)
{
    reader_.Button1Click();
    afterStep();
}

void TForm1::Button4Click(QObject*)
{
    reader_.Button4Click();
    Memo1->setExtraSelections({});
}

void TForm1::TTSEndStream(QObject*, int StreamNumber, std::int64_t StreamPosition)
{
    reader_.TTSEndStream(StreamNumber, StreamPosition);
    afterStep();
}

void TForm1::Button7Click(QObject*)
{
    Button4Click(this);
    if (!shared_.currentPath.empty())
        Closing();
    shared_.currentPath.clear();
    shared_.currentFile.clear();
    setCaption(kTemporaryCaption);
    QString pasted = QString::fromStdString(clipboard_.text());
    if (!pasted.isEmpty() && !pasted.endsWith(QLatin1Char('\n')) && !pasted.endsWith(QLatin1Char('\r')))
        pasted += QLatin1Char('\n');
    pasted += QLatin1Char('\n');
    pasted += fromSjis(sjis::kEndLine);
    Memo1->setPlainText(pasted);
    setSelStart(0);
    Button1Click(this);
}

// --- Files and settings ---

void TForm1::Button2Click(QObject*)
{
    intake_.Button2Click();
}

void TForm1::openDropped(const std::string& path)
{
    openDialog_.dropped = path;
    guarded([this] { Button2Click(this); });
    openDialog_.dropped.reset();
}

void TForm1::HTMLconv()
{
    std::string converted = text();
    kven::HTMLconv(converted, PzConv1);
    setText(std::move(converted));
}

void TForm1::Resume()
{
    intake_.Resume();
}

void TForm1::Button9Click(QObject*)
{
    settings_.Button9Click();
}

void TForm1::Button10Click(QObject*)
{
    settings_.Button10Click();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().value(0).isLocalFile())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QUrl url = event->mimeData()->urls().value(0);
    if (!url.isLocalFile())
        return;
    event->acceptProposedAction();
    openDropped(url.toLocalFile().toStdString());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // A file dropped on the editor opens the file instead of inserting its name.
    if (watched == Memo1->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData()->hasUrls()) {
                dropEvent(drop);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Skip list, voices, speed ---

void TForm1::Button5Click(QObject*)
{
    const std::optional<std::string> entry =
        OpenDialog1.inputText("SkipList", "追加する文字列を入力してください", kMaxSkipEntryLength);
    if (entry && !entry->empty())
        addSkipEntry(cp932::fromUtf8(*entry));
}

void TForm1::Button6Click(QObject*)
{
    const int row = ListBox1->currentRow();
    if (row < 0 || ListBox1->selectedItems().isEmpty())
        return;
    delete ListBox1->takeItem(row);
    skipEntries_.erase(skipEntries_.begin() + row);
    ++listsRevision_;
}

void TForm1::ComboBox1Change(QObject*)
{
    const int index = ComboBox1->currentIndex();
    // Nothing selected (no voice installed, a stored index below 0, or the box's text
    // erased): the engine keeps the voice it has.
    if (index < 0 || index >= static_cast<int>(voiceHandles_.size()))
        return;
    const VoiceHandle voice = voiceHandles_[static_cast<std::size_t>(index)];
    TTS.setVoice(voice);
}

void TForm1::ScrollBar3Change(QObject*)
{
    TTS.setRate(ScrollBar3->value());
}

// --- WindowState over the controls ---

const std::string& TForm1::text() const
{
    return editorText_.text();
}

void TForm1::setText(std::string text)
{
    Memo1->setExtraSelections({});
    editorText_.setText(std::move(text));
}

std::size_t TForm1::selStart() const
{
    return editorText_.selStart();
}

void TForm1::setSelStart(std::size_t pos)
{
    editorText_.setSelStart(pos);
}

std::size_t TForm1::selLength() const
{
    return editorText_.selLength();
}

void TForm1::setSelLength(std::size_t len)
{
    editorText_.setSelLength(len);
    // The reading step selects each chunk before it says it.
    chunkStart_ = editorText_.selStart();
    chunkEnd_ = chunkStart_ + editorText_.selLength();
}

bool TForm1::startEnabled() const
{
    return Button1->isEnabled();
}

void TForm1::setStartEnabled(bool on)
{
    Button1->setEnabled(on);
}

bool TForm1::stopEnabled() const
{
    return Button4->isEnabled();
}

void TForm1::setStopEnabled(bool on)
{
    Button4->setEnabled(on);
}

bool TForm1::aozoraRuby() const
{
    return CheckBox1->isChecked();
}

void TForm1::setAozoraRuby(bool on)
{
    CheckBox1->setChecked(on);
}

bool TForm1::aaSkip() const
{
    return CheckBox2->isChecked();
}

void TForm1::setAaSkip(bool on)
{
    CheckBox2->setChecked(on);
}

bool TForm1::headingSearch() const
{
    return CheckBox3->isChecked();
}

void TForm1::setHeadingSearch(bool on)
{
    CheckBox3->setChecked(on);
}

bool TForm1::repeatSuppression() const
{
    return CheckBox4->isChecked();
}

void TForm1::setRepeatSuppression(bool on)
{
    CheckBox4->setChecked(on);
}

int TForm1::unreadLimit() const
{
    return ScrollBar1->value();
}

void TForm1::setUnreadLimit(int pos)
{
    ScrollBar1->setValue(pos);
}

int TForm1::blankLimit() const
{
    return ScrollBar2->value();
}

void TForm1::setBlankLimit(int pos)
{
    ScrollBar2->setValue(pos);
}

int TForm1::speed() const
{
    return ScrollBar3->value();
}

void TForm1::setSpeed(int pos)
{
    // From code the handler runs directly, so that its error reaches the caller (the
    // creation sequence ends there) instead of the error box of a user's change.
    const int before = ScrollBar3->value();
    {
        const QSignalBlocker block(ScrollBar3);
        ScrollBar3->setValue(pos);
    }
    if (ScrollBar3->value() != before)
        ScrollBar3Change(this);
}

void TForm1::setSkipList(std::vector<std::string> entries)
{
    ListBox1->clear();
    for (const std::string& entry : entries)
        addListEntry(*ListBox1, fromSjis(entry));
    skipEntries_ = std::move(entries);
    ++listsRevision_;
}

void TForm1::addSkipEntry(std::string entry)
{
    addListEntry(*ListBox1, fromSjis(entry));
    skipEntries_.push_back(std::move(entry));
    ++listsRevision_;
}

const std::string& TForm1::talkSymbols() const
{
    if (!talkSymbolsValid_) {
        talkSymbols_ = memoText(*Memo5);
        talkSymbolsValid_ = true;
    }
    return talkSymbols_;
}

void TForm1::setTalkSymbols(std::string text)
{
    Memo5->setPlainText(fromSjis(text));
    talkSymbols_ = memoText(*Memo5);
    talkSymbolsValid_ = true;
    ++listsRevision_;
}

std::string TForm1::caption() const
{
    return windowTitle().toStdString();
}

void TForm1::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

int TForm1::voiceIndex() const
{
    return ComboBox1->currentIndex();
}

void TForm1::setVoiceIndex(int index)
{
    const QSignalBlocker block(ComboBox1);
    ComboBox1->setCurrentIndex(index >= 0 && index < ComboBox1->count() ? index : -1);
}

int TForm1::voiceCount() const
{
    return ComboBox1->count();
}

void TForm1::setVoices(const std::vector<std::string>& descriptions)
{
    const QSignalBlocker block(ComboBox1);
    ComboBox1->clear();
    for (const std::string& description : descriptions) {
        ComboBox1->addItem(fromSjis(description));
        ComboBox1->setItemData(ComboBox1->count() - 1, QSize(0, kEntryHeight), Qt::SizeHintRole);
    }
    ComboBox1->setCurrentIndex(-1);
}

int TForm1::windowLeft() const
{
    return x();
}

void TForm1::setWindowLeft(int left)
{
    move(left, y());
}

int TForm1::windowTop() const
{
    return y();
}

void TForm1::setWindowTop(int top)
{
    move(x(), top);
}

} // namespace kven
