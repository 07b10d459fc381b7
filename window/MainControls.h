#pragma once
// The main window's controls and menus: the client area built from the placement table
// (window/Layout) and the menu bar with its function keys. Every control has its table name
// as its object name, which tests and the accessibility tree find it by. Captions are in the
// interface language installed when they are built (window/InterfaceText).

#include "state/Session.h"

#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QTabWidget;
class QWidget;

namespace kven {

struct MainControls {
    // Builds them in `window`, in their design states: the options of the "etc" tab checked,
    // the sliders at 0, Stop disabled, caption "KVEN".
    // Places, sizes and fonts are the design's times fittingScale().
    static MainControls build(QMainWindow& window);

    // The share of the design the window is built at.
    double scale = 1.0;

    QPlainTextEdit* editor = nullptr;
    QLabel* versionLabel = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* pasteButton = nullptr;
    QPushButton* quitButton = nullptr;
    QPushButton* reloadButton = nullptr;
    QPushButton* saveButton = nullptr;
    QLabel* voiceLabel = nullptr;
    QComboBox* voiceBox = nullptr;
    QLabel* speedLabel = nullptr;
    QScrollBar* speedBar = nullptr;
    // The speed slider's value, beside its label; the window keeps it with the session's speed.
    QLabel* speedValueLabel = nullptr;
    QTabWidget* listTabs = nullptr;
    QWidget* skipTab = nullptr;
    QListWidget* skipListBox = nullptr;
    QPushButton* addSkipButton = nullptr;
    QPushButton* deleteSkipButton = nullptr;
    QWidget* talkTab = nullptr;
    QLabel* talkSymbolsLabel = nullptr;
    QPlainTextEdit* talkSymbolsEditor = nullptr;
    QWidget* optionsTab = nullptr;
    QCheckBox* aozoraRubyBox = nullptr;
    QCheckBox* aaSkipBox = nullptr;
    QCheckBox* headingSearchBox = nullptr;
    QCheckBox* repeatBox = nullptr;
    QLabel* unreadLimitLabel = nullptr;
    QScrollBar* unreadLimitBar = nullptr;
    QLabel* blankLimitLabel = nullptr;
    QScrollBar* blankLimitBar = nullptr;

    QMenuBar* mainMenu = nullptr;
    QMenu* fileMenu = nullptr;
    QAction* openAction = nullptr;
    QAction* exportAction = nullptr;
    QMenu* recentMenu = nullptr; // filled each time it opens
    QAction* quitAction = nullptr;
    QMenu* readMenu = nullptr;
    QAction* startAction = nullptr;
    QAction* stopAction = nullptr;
    QAction* pasteAction = nullptr;
    QAction* againAction = nullptr;
    QAction* previousAction = nullptr;
    QAction* nextAction = nullptr;
    // The listening options, checkable, each with the option it sets, and the dictionary editor.
    QMenu* optionMenu = nullptr;
    std::vector<std::pair<QAction*, bool ReadingOptions::*>> optionActions;
    QAction* editWordsAction = nullptr;
    QMenu* helpMenu = nullptr;
    QAction* aboutAction = nullptr;

private:
    void buildClientArea(QMainWindow& window);
    void findControls(const QWidget& client);
    void setUpControls();
    void showSpeedValue(QWidget& client);
    void buildMenu(QMainWindow& window);
    void buildOptionAndHelpMenus();
};

} // namespace kven
