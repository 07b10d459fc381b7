#include "window/ReadingView.h"

#include "reading/ViewHtml.h"
#include "window/EditorText.h"
#include "window/InterfaceText.h"

#include <QAction>
#include <QActionGroup>
#include <QColor>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextCursor>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>

namespace kven {

namespace {

constexpr int kMinFontSize = 10;
constexpr int kMaxFontSize = 64;
constexpr int kFontStep = 2;

// The page: its look, and the script that loads the sections, maps places to offsets and
// marks the chunk. Offsets of the text are read from the spans that reading/ViewHtml writes.
constexpr const char* kPageHead = R"(<!DOCTYPE html>
<html lang="ja" class="%1" style="--fs: %2px; --bg: %3; --fg: %4"><head><meta charset="utf-8">
<style>
:root { --fs: 22px; --bg: #fff; --fg: #000; --hl: rgba(255, 200, 0, .35); }
html { background: var(--bg); color: var(--fg); font-size: var(--fs); overflow-anchor: auto;
  font-family: "IPAMincho", "IPA明朝", "IPAPMincho", serif; line-height: 1.8; }
html.v { writing-mode: vertical-rl; text-orientation: mixed; }
html.h { writing-mode: horizontal-tb; }
body { margin: 0; }
main { max-inline-size: 40em; margin-inline: auto; padding: 2em 2.5em; }
section.w { contain: layout style; }
p, h2, h3, h4 { margin: 0; white-space: pre-wrap; line-break: strict; }
h2, h3, h4 { font-family: "IPAGothic", "IPAゴシック", sans-serif; margin-block: .8em; font-weight: bold; }
h2 { font-size: 1.5em; } h3 { font-size: 1.25em; } h4 { font-size: 1.1em; }
.g { text-align: end; }
rt { font-size: .5em; }
.s { font-size: .6em; }
.e { text-emphasis: filled sesame; } .es { text-emphasis: open sesame; }
.ec { text-emphasis: filled circle; } .eoc { text-emphasis: open circle; }
.et { text-emphasis: filled triangle; } .eot { text-emphasis: open triangle; }
.edc { text-emphasis: filled double-circle; } .eodc { text-emphasis: open double-circle; }
.ex { text-emphasis: "×"; }
.u { text-decoration: underline; } .b { font-weight: bold; } .i { font-style: italic; }
.sub, .sup { font-size: .6em; } .tcy { text-combine-upright: all; }
.mk { position: absolute; background: var(--hl); pointer-events: none; border-radius: 2px; }
::selection { background: var(--hl); }
</style></head><body><main id="book" role="document" aria-label="本文">
)";

constexpr const char* kPageTail = R"(</main>
<script src="qrc:///qtwebchannel/qwebchannel.js"></script>
<script>
'use strict';
const kv = window.kv = {
  bridge: null,
  sections: Array.from(document.querySelectorAll('section.w')),
  loaded: new Set(),
  mark: null,
  spanOf(offset) {
    const sec = this.sectionAt(offset);
    if (!sec || !this.loaded.has(sec)) return null;
    let best = null;
    for (const s of sec.querySelectorAll('span[o]')) {
      if (+s.getAttribute('o') > offset) break;
      best = s;
    }
    return best;
  },
  sectionAt(offset) {
    let lo = 0, hi = this.sections.length - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (+this.sections[mid].dataset.from <= offset) lo = mid; else hi = mid - 1;
    }
    return this.sections[lo];
  },
  load(sec) {
    if (!sec || this.loaded.has(sec)) return Promise.resolve();
    if (sec.pending) return sec.pending;
    sec.pending = new Promise(resolve => {
      this.bridge.sectionHtml(+sec.dataset.n, html => {
        sec.innerHTML = html;
        sec.style.blockSize = '';
        this.loaded.add(sec);
        if (this.mark) this.draw();
        resolve();
      });
    });
    return sec.pending;
  },
  around(offset) {
    const sec = this.sectionAt(offset);
    const i = this.sections.indexOf(sec);
    return Promise.all([this.load(this.sections[i - 1]), this.load(sec), this.load(this.sections[i + 1])]);
  },
  // The text range of [from, to), from the spans that hold its characters.
  range(from, to) {
    const place = (offset, atEnd) => {
      const s = this.spanOf(offset);
      if (!s) return null;
      const o = +s.getAttribute('o'), t = s.firstChild;
      if (!t) return null;
      if (s.hasAttribute('u')) return [t, offset < o + +s.getAttribute('u') && !atEnd ? 0 : t.length];
      const w = s.hasAttribute('w') ? 1 : 2;
      return [t, Math.min(t.length, Math.ceil((offset - o) / w))];
    };
    const a = place(from, false), b = place(Math.max(from, to), true);
    if (!a || !b) return null;
    const r = document.createRange();
    r.setStart(a[0], a[1]);
    r.setEnd(b[0], b[1]);
    return r;
  },
  // The shown text of [from, to): the characters of the spans alone, ruby readings left out.
  shownText(from, to) {
    let text = '';
    const first = this.sections.indexOf(this.sectionAt(from)), last = this.sections.indexOf(this.sectionAt(to));
    for (let i = first; i <= last; ++i) {
      for (const s of this.sections[i].querySelectorAll('span[o]')) {
        const o = +s.getAttribute('o'), t = s.textContent;
        if (s.hasAttribute('u')) { if (o >= from && o < to) text += t; continue; }
        const w = s.hasAttribute('w') ? 1 : 2;
        for (let k = 0; k < t.length; ++k) if (o + k * w >= from && o + k * w < to) text += t[k];
      }
    }
    return text;
  },
  draw() {
    for (const m of document.querySelectorAll('.mk')) m.remove();
    if (!this.mark) return null;
    const r = this.range(this.mark[0], this.mark[1]);
    if (!r) return null;
    const box = r.getBoundingClientRect();
    if (this.mark[1] > this.mark[0]) {
      for (const c of r.getClientRects()) {
        const d = document.createElement('div');
        d.className = 'mk';
        d.style.left = (c.left + window.scrollX) + 'px';
        d.style.top = (c.top + window.scrollY) + 'px';
        d.style.width = c.width + 'px';
        d.style.height = c.height + 'px';
        document.body.appendChild(d);
      }
    }
    return box;
  },
  // Marks [from, to) and, with `scroll`, brings it whole into view away from the edges.
  setMark(from, to, scroll) {
    this.mark = [from, to];
    return this.around(from).then(() => to > from ? this.around(to - 1) : null).then(() => {
      const box = this.draw();
      if (box && scroll) {
        const vw = window.innerWidth, vh = window.innerHeight, mx = vw * .15, my = vh * .15;
        const inside = box.left >= mx && box.right <= vw - mx && box.top >= my && box.bottom <= vh - my;
        if (!inside) {
          window.scrollBy((box.left + box.right) / 2 - vw / 2, (box.top + box.bottom) / 2 - vh / 2);
          this.draw();
        }
      }
      this.drawn = [from, to];
    });
  },
  offsetAt(node, index) {
    let el = node.nodeType === Node.TEXT_NODE ? node.parentElement : node;
    if (el && el.tagName === 'RT') {
      const base = el.parentElement.querySelector('span[o]');
      return base ? +base.getAttribute('o') : null;
    }
    if (el && el.hasAttribute('o')) {
      const o = +el.getAttribute('o');
      if (el.hasAttribute('u')) return o;
      const w = el.hasAttribute('w') ? 1 : 2;
      return o + Math.min(index, el.textContent.length - 1) * w;
    }
    const line = el && el.closest('[l]');
    return line ? +line.getAttribute('l') : null;
  },
  // The character under the point: a caret position lies between two characters, so the one
  // of the two whose box holds the point.
  offsetAtPoint(x, y) {
    const r = document.caretRangeFromPoint(x, y);
    if (!r) return null;
    const node = r.startContainer;
    if (node.nodeType === Node.TEXT_NODE) {
      for (const k of [r.startOffset - 1, r.startOffset]) {
        if (k < 0 || k >= node.length) continue;
        const c = document.createRange();
        c.setStart(node, k);
        c.setEnd(node, k + 1);
        const b = c.getBoundingClientRect();
        if (x >= b.left && x <= b.right && y >= b.top && y <= b.bottom) return this.offsetAt(node, k);
      }
    }
    return this.offsetAt(node, r.startOffset);
  },
  choose(offset) {
    if (offset !== null && offset !== undefined) this.bridge.placeChosen(offset);
  },
  // The keyboard's place: a selection of one character, moved along the lines.
  key(e) {
    const sel = window.getSelection();
    const vertical = document.documentElement.classList.contains('v');
    const moves = vertical
      ? { ArrowDown: ['forward', 'character'], ArrowUp: ['backward', 'character'],
          ArrowLeft: ['forward', 'line'], ArrowRight: ['backward', 'line'] }
      : { ArrowRight: ['forward', 'character'], ArrowLeft: ['backward', 'character'],
          ArrowDown: ['forward', 'line'], ArrowUp: ['backward', 'line'] };
    if (e.key === 'Enter' && sel.rangeCount) {
      e.preventDefault();
      this.choose(this.offsetAt(sel.anchorNode, sel.anchorOffset));
      return;
    }
    const move = moves[e.key];
    if (!move) return;
    e.preventDefault();
    if (!sel.rangeCount || sel.isCollapsed && !sel.anchorNode) {
      const r = this.mark && this.range(this.mark[0], this.mark[0]);
      if (!r) return;
      sel.removeAllRanges();
      sel.addRange(r);
    } else {
      sel.collapseToStart();
    }
    sel.modify('move', move[0], move[1]);
    sel.modify('extend', 'forward', 'character');
    const n = sel.anchorNode && (sel.anchorNode.nodeType === Node.TEXT_NODE ? sel.anchorNode.parentElement : sel.anchorNode);
    if (n && n.scrollIntoView) n.scrollIntoView({ block: 'nearest', inline: 'nearest' });
  },
  setLook(vertical, fontSize, bg, fg, hl) {
    const root = document.documentElement;
    root.className = vertical ? 'v' : 'h';
    root.style.setProperty('--fs', fontSize + 'px');
    root.style.setProperty('--bg', bg);
    root.style.setProperty('--fg', fg);
    root.style.setProperty('--hl', hl);
    this.estimate();
    this.draw();
  },
  // A section not loaded yet takes about the room its lines will: each line, and a line more
  // for each line's length of characters. Sections that load then move the rest little.
  estimate() {
    const root = document.documentElement, vertical = root.classList.contains('v');
    const fontSize = parseFloat(getComputedStyle(root).fontSize);
    const book = document.getElementById('book').getBoundingClientRect();
    const perLine = Math.max(8, Math.floor(((vertical ? book.height : book.width) - 5 * fontSize) / fontSize));
    for (const sec of this.sections)
      if (!this.loaded.has(sec)) sec.style.blockSize = ((+sec.dataset.lines + +sec.dataset.chars / perLine) * 1.8) + 'em';
  },
};
const watcher = new IntersectionObserver(entries => {
  for (const e of entries) if (e.isIntersecting) kv.load(e.target);
}, { rootMargin: '150%' });
window.addEventListener('resize', () => kv.draw());
document.addEventListener('click', e => kv.choose(kv.offsetAtPoint(e.clientX, e.clientY)));
document.addEventListener('keydown', e => kv.key(e));
new QWebChannel(qt.webChannelTransport, channel => {
  kv.bridge = channel.objects.bridge;
  kv.estimate();
  for (const sec of kv.sections) watcher.observe(sec);
  kv.bridge.pageReady();
});
</script></body></html>
)";

QString cssColor(const QColor& color)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF());
}

} // namespace

ReadingView::ReadingView(QPlainTextEdit& editor, EditorText& editorText, Session& session, QMenu& menu,
                         std::function<void(int)> modeChanged)
    : QWidget(editor.parentWidget()), editor_(editor), editorText_(editorText), session_(session),
      modeChanged_(std::move(modeChanged))
{
    setObjectName(QStringLiteral("readingView"));
    hide();
    // Under the editor while it is the view, so that the editor stays above every control.
    stackUnder(&editor_);
    editor_.installEventFilter(this);
    setGeometry(editor_.geometry());
    buildMenu(menu);
    subscription_ = session_.subscribe([this](Session::Changes changes) { follow(changes); });
}

ReadingView::~ReadingView() = default;

void ReadingView::createPage()
{
    // Made when first shown: the engine starts nothing while the editor is the view.
    // The engine gives the page's text to screen readers on Linux only when asked to, before
    // it starts.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
    web_ = new QWebEngineView(this);
    web_->setObjectName(QStringLiteral("readingPage"));
    web_->setAccessibleName(interfaceText(QT_TRANSLATE_NOOP("KVEN", "Book view")));
    setFocusProxy(web_);
    web_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    web_->settings()->setAttribute(QWebEngineSettings::SpatialNavigationEnabled, false);
    auto* channel = new QWebChannel(web_->page());
    channel->registerObject(QStringLiteral("bridge"), &bridge_);
    web_->page()->setWebChannel(channel);
    bridge_.section = [this](int index) { return section(index); };
    bridge_.moveTo = [this](double offset) {
        // From the page: only a place inside the text is taken.
        if (offset >= 0 && offset <= static_cast<double>(session_.text().size()))
            moveTo(static_cast<std::size_t>(offset));
    };
    bridge_.ready = [this] {
        pageReady_ = true;

        applyLook();
        marked_ = {static_cast<std::size_t>(-1), 0};
        mark(true);
    };
    web_->setGeometry(rect());
    web_->show();
}

void ReadingView::buildMenu(QMenu& menu)
{
    auto* group = new QActionGroup(this);
    const auto item = [&](const QString& caption, const QKeySequence& key, int mode) {
        QAction* action = menu.addAction(caption);
        action->setCheckable(true);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, mode] { setMode(mode); });
        return action;
    };
    offAction_ = item(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Editor")), QKeySequence(), off);
    verticalAction_ = item(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Vertical Book")), QKeySequence(), vertical);
    horizontalAction_ = item(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Horizontal Book")), QKeySequence(), horizontal);
    offAction_->setObjectName(QStringLiteral("viewOffAction"));
    verticalAction_->setObjectName(QStringLiteral("viewVerticalAction"));
    horizontalAction_->setObjectName(QStringLiteral("viewHorizontalAction"));
    offAction_->setChecked(true);
    menu.addSeparator();
    // F8 shows the book or the editor; Shift+F8 turns the book between vertical and horizontal.
    QAction* toggle = menu.addAction(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Book or Editor")));
    toggle->setObjectName(QStringLiteral("viewToggleAction"));
    toggle->setShortcut(QKeySequence(Qt::Key_F8));
    connect(toggle, &QAction::triggered, this, [this] { setMode(mode_ == off ? lastMode_ : off); });
    QAction* turn = menu.addAction(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Turn the Book")));
    turn->setObjectName(QStringLiteral("viewTurnAction"));
    turn->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));
    connect(turn, &QAction::triggered, this, [this] { setMode(mode_ == vertical ? horizontal : vertical); });
    QAction* bigger = menu.addAction(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Larger Text")));
    bigger->setObjectName(QStringLiteral("viewBiggerAction"));
    bigger->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(bigger, &QAction::triggered, this, [this] { setFontSize(fontSize_ + kFontStep); });
    QAction* smaller = menu.addAction(interfaceText(QT_TRANSLATE_NOOP("KVEN", "&Smaller Text")));
    smaller->setObjectName(QStringLiteral("viewSmallerAction"));
    smaller->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    connect(smaller, &QAction::triggered, this, [this] { setFontSize(fontSize_ - kFontStep); });
    for (QAction* action : {toggle, turn, bigger, smaller})
        action->setShortcutContext(Qt::WindowShortcut);
}

void ReadingView::setMode(int mode)
{
    if (mode != vertical && mode != horizontal)
        mode = off;
    if (mode == mode_)
        return;
    const bool wasOff = mode_ == off;
    mode_ = mode;
    (mode == vertical ? verticalAction_ : mode == horizontal ? horizontalAction_ : offAction_)->setChecked(true);
    if (mode == off) {
        const bool hadFocus = hasFocus() || (web_ != nullptr && web_->hasFocus());
        hide();
        editor_.show();
        stackUnder(&editor_);
        if (hadFocus)
            editor_.setFocus();
    } else {
        lastMode_ = mode;
        if (web_ == nullptr)
            createPage();
        setGeometry(editor_.geometry());
        const bool hadFocus = editor_.hasFocus();
        editor_.hide();
        show();
        raise();
        if (hadFocus || wasOff)
            web_->setFocus();
        if (wasOff && (!shown_ || shownRevision_ != session_.textRevision()))
            loadPage();
        else
            applyLook();
        if (wasOff && shown_) {
            marked_ = {static_cast<std::size_t>(-1), 0};
            mark(true);
        }
    }
    if (modeChanged_)
        modeChanged_(mode_);
}

void ReadingView::setFontSize(int pixels)
{
    fontSize_ = std::clamp(pixels, kMinFontSize, kMaxFontSize);
    if (mode_ != off)
        applyLook();
}

bool ReadingView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &editor_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        setGeometry(editor_.geometry());
    return QWidget::eventFilter(watched, event);
}

void ReadingView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && mode_ != off)
        applyLook();
}

void ReadingView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (web_ != nullptr)
        web_->setGeometry(rect());
}

void ReadingView::follow(Session::Changes changes)
{
    if (mode_ == off)
        return;
    if ((changes & (Session::textChanged | Session::documentChanged)) != 0) {
        loadPage();
        return;
    }
    if ((changes & (Session::readingChanged | Session::selectionChanged)) != 0)
        mark(true);
}

void ReadingView::loadPage()
{
    pageReady_ = false;
    shown_ = true;
    shownRevision_ = session_.textRevision();
    text_ = session_.text();
    const Document& document = session_.document();
    // A page's headings and ruby bases hold only for the text as it was loaded.
    const bool asLoaded = !session_.textEdited();
    headings_ = asLoaded ? document.headings : std::vector<std::size_t>();
    rubyBases_ = asLoaded ? document.rubyBases : std::vector<RubyBase>();
    source_ = ViewSource{text_, headings_, rubyBases_};
    writer_ = std::make_unique<ViewHtmlWriter>(source_);
    writerAt_ = 0;
    sections_ = viewSections(text_);
    QString html = QString::fromUtf8(kPageHead)
                       .arg(mode_ == horizontal ? QStringLiteral("h") : QStringLiteral("v"))
                       .arg(fontSize_)
                       .arg(cssColor(palette().color(QPalette::Base)))
                       .arg(cssColor(palette().color(QPalette::Text)));
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const std::size_t from = sections_[i];
        const std::size_t to = i + 1 < sections_.size() ? sections_[i + 1] : text_.size();
        const std::string_view part = std::string_view(text_).substr(from, to - from);
        const auto lines = std::count(part.begin(), part.end(), '\n');
        html += QStringLiteral("<section class=w data-n=%1 data-from=%2 data-to=%3 data-lines=%4 data-chars=%5>"
                               "</section>\n")
                    .arg(i)
                    .arg(from)
                    .arg(to)
                    .arg(lines)
                    .arg((to - from) / 2);
    }
    html += QString::fromUtf8(kPageTail);
    web_->setHtml(html, QUrl(QStringLiteral("qrc:///kven/view/")));
}

QString ReadingView::section(int index)
{
    if (!writer_ || index < 0 || static_cast<std::size_t>(index) >= sections_.size())
        return {};
    const std::size_t n = static_cast<std::size_t>(index);
    const std::size_t from = sections_[n];
    const std::size_t to = n + 1 < sections_.size() ? sections_[n + 1] : text_.size();
    if (from < writerAt_) {
        writer_ = std::make_unique<ViewHtmlWriter>(source_);
        writerAt_ = 0;
    }
    writer_->passOver(writerAt_, from);
    writerAt_ = to;
    return QString::fromStdString(writer_->lines(from, to));
}

void ReadingView::moveTo(std::size_t offset)
{
    // As a click in the editor: its cursor moves, and the session reads it back from there.
    QTextCursor cursor = editor_.textCursor();
    cursor.setPosition(editorText_.positionOf(std::min(offset, text_.size())));
    editor_.setTextCursor(cursor);
    if (!session_.reading())
        mark(false);
}

void ReadingView::mark(bool scroll)
{
    if (mode_ == off || !shown_)
        return;
    Mark mark;
    if (session_.reading()) {
        mark = {session_.chunkStart(), session_.chunkEnd()};
    } else {
        mark.start = session_.selStart();
        mark.end = mark.start + session_.selLength();
    }
    if (mark == marked_)
        return;
    marked_ = mark;
    web_->page()->runJavaScript(QStringLiteral("window.kv && kv.bridge && kv.setMark(%1, %2, %3)")
                                    .arg(mark.start)
                                    .arg(mark.end)
                                    .arg(scroll ? QStringLiteral("true") : QStringLiteral("false")));
}

void ReadingView::applyLook()
{
    const QPalette colors = palette();
    QColor highlight = colors.color(QPalette::Active, QPalette::Highlight);
    highlight.setAlphaF(0.35F);
    web_->page()->setBackgroundColor(colors.color(QPalette::Base));
    web_->page()->runJavaScript(QStringLiteral("window.kv && kv.setLook(%1, %2, '%3', '%4', '%5')")
                                    .arg(mode_ == horizontal ? QStringLiteral("false") : QStringLiteral("true"))
                                    .arg(fontSize_)
                                    .arg(cssColor(colors.color(QPalette::Base)))
                                    .arg(cssColor(colors.color(QPalette::Text)))
                                    .arg(cssColor(highlight)));
}

} // namespace kven
