#pragma once
// The resize toggle: each size notification of the window after the first switches between
// the design layout and a maximized window whose editor fills it in a font twice the size.
// The first notification, which showing the window raises, only records that it came. Either
// way the editor then shows the place being read.

#include <QSize>

class QMainWindow;
class QPlainTextEdit;
class QWidget;

namespace kven {

class ResizeToggle {
public:
    // The normal window is the design at `scale` (see fittingScale).
    ResizeToggle(QMainWindow& window, QPlainTextEdit& editor, double scale);

    // Whether a change of the window's state raises a size notification: maximize and
    // restore do; minimizing and bringing back do not.
    static bool notifies(Qt::WindowStates before, Qt::WindowStates now)
    {
        return !((before | now) & Qt::WindowMinimized) && (before & Qt::WindowMaximized) != (now & Qt::WindowMaximized);
    }
    // One size notification (the window's onResize).
    void toggle();
    // The next notification is the first again.
    void restart() { firstResize_ = 0; }
    // After every resize of the window once it has been shown: the enlarged editor follows
    // a size the window system reports late, and the normal window keeps its design size.
    void resized();

    int firstResize() const { return firstResize_; }
    bool recordedMaximized() const { return recordedMaximized_; }
    // True while the toggle itself changes the window, whose notifications it ignores.
    bool applying() const { return applying_; }

    // The editor of the normal window, in design pixels and points; the enlarged editor's font.
    static constexpr int kEditorWidth = 430;
    static constexpr int kEditorHeight = 513;
    static constexpr int kEditorPoints = 16;
    static constexpr int kEnlargedPoints = 32;
    // The editor at its place in the normal window: its size and font at the window's scale.
    void showNormalEditor();

private:
    void fillWindow();
    // The status line's height, or 0 without one.
    int statusLineHeight() const;
    void setEditorFontPoints(int points);

    QMainWindow& window_;
    QPlainTextEdit& editor_;
    double scale_;
    QSize designSize_; // the normal window's client area, below its menu bar
    int firstResize_ = 0;
    bool recordedMaximized_ = false;
    bool applying_ = false;
};

// A window whose place would leave too little of it on every screen to grab (less than 100
// by 50 pixels) moves to the middle of the primary screen.
void keepOnScreen(QWidget& window);

} // namespace kven
