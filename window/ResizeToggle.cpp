#include "window/ResizeToggle.h"

#include "window/Layout.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

namespace kven {

ResizeToggle::ResizeToggle(QMainWindow& window, QPlainTextEdit& editor, double scale)
    : window_(window), editor_(editor), scale_(scale),
      designSize_(scaled(kDesignClient.width(), scale), scaled(kDesignClient.height(), scale))
{
}

void ResizeToggle::showNormalEditor()
{
    editor_.resize(scaled(kEditorWidth, scale_), scaled(kEditorHeight, scale_));
    setEditorFontPoints(scaled(kEditorPoints, scale_));
}

void ResizeToggle::toggle()
{
    if (applying_)
        return;
    if (firstResize_ == 0) {
        firstResize_ = 1;
        return;
    }
    applying_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{applying_};
    // The enlarged editor fills the window below its menu bar; the status line comes back with
    // the design layout.
    QStatusBar* const line = window_.findChild<QStatusBar*>();
    if (recordedMaximized_) {
        recordedMaximized_ = false;
        if (line != nullptr)
            line->show();
        if (window_.windowState() & Qt::WindowMaximized)
            window_.showNormal();
        showNormalEditor();
    } else {
        recordedMaximized_ = true;
        if (line != nullptr)
            line->hide();
        if (!(window_.windowState() & Qt::WindowMaximized))
            window_.showMaximized();
        fillWindow();
        setEditorFontPoints(kEnlargedPoints);
    }
    // The editor lays its text out anew for its new size; then the cursor, which stands just
    // after the chunk being read, is brought into view.
    QTimer::singleShot(0, &editor_, [this] { editor_.ensureCursorVisible(); });
}

void ResizeToggle::resized()
{
    if (applying_)
        return;
    // A window system that maximizes asynchronously reports the final size only now.
    if (recordedMaximized_ && (window_.windowState() & Qt::WindowMaximized))
        fillWindow();
    // The border is fixed: in the normal state the window keeps its design size.
    if (window_.windowState() == Qt::WindowNoState) {
        const QSize design(designSize_.width(),
                           designSize_.height() + window_.menuBar()->height() + statusLineHeight());
        if (window_.size() != design)
            QTimer::singleShot(0, &window_, [this, design] {
                if (window_.windowState() == Qt::WindowNoState && window_.size() != design)
                    window_.resize(design);
            });
    }
}

void ResizeToggle::fillWindow()
{
    const QRect outer = window_.frameGeometry();
    editor_.resize(outer.width() - 32, outer.height() - 54 - statusLineHeight());
}

int ResizeToggle::statusLineHeight() const
{
    const QStatusBar* line = window_.findChild<QStatusBar*>();
    return line != nullptr && !line->isHidden() ? line->sizeHint().height() : 0;
}

void ResizeToggle::setEditorFontPoints(int points)
{
    QFont font = japaneseFont(16);
    font.setPointSize(points);
    editor_.setFont(font);
}

void keepOnScreen(QWidget& window)
{
    const QRect frame(window.pos(), window.size());
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = frame & screen->availableGeometry();
        if (seen.width() >= 100 && seen.height() >= 50)
            return;
    }
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        window.move(primary->availableGeometry().center() - QPoint(window.width() / 2, window.height() / 2));
}

} // namespace kven
