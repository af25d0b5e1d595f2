#pragma once
// One window with every control and bar the flat style draws, under a style configured as the
// program's forms configure theirs (with every kind taken over, and the whole menu bar drawn),
// and a switch that turns the style off and on. The place to look at the theme; the style's
// tests grab the same window.

#include "theme/xpstyle.h"

#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QToolBar;
class QToolButton;

namespace stikko {

class XPGallery : public QMainWindow {
    Q_OBJECT
  public:
    explicit XPGallery(QWidget* parent = nullptr);

    // The colour of the panel that holds the speed buttons.
    static constexpr ColorValue kPanelColor = 0x00BCF7FF;

    TXPStyle* xpStyle = nullptr;
    QCheckBox* styleSwitch = nullptr; // keeps its own look (tag 999)

    // Bars.
    QToolBar* toolBar = nullptr; // a band of the window's control bar, captions beside the glyphs
    QToolButton *tbNew = nullptr, *tbBold = nullptr, *tbPaste = nullptr, *tbCut = nullptr, *tbMenu = nullptr;
    QToolBar* captionBar = nullptr; // captions under the glyphs, transparent

    // Panels and the speed buttons on the raised one.
    QFrame *pnRaised = nullptr, *pnLowered = nullptr, *pnRidge = nullptr;
    QToolButton *sbPrint = nullptr, *sbBullets = nullptr, *sbDisabled = nullptr, *sbRaised = nullptr,
                *sbCaption = nullptr;

    // Edits.
    QTextEdit *reBordered = nullptr, *reBare = nullptr;
    QLineEdit *edit = nullptr, *maskEdit = nullptr;
    QPlainTextEdit* memo = nullptr;

    // Choices and buttons.
    QComboBox *combo = nullptr, *comboEditable = nullptr, *comboDisabled = nullptr;
    QCheckBox *check = nullptr, *checkGrayed = nullptr, *checkOff = nullptr;
    QRadioButton *radioOn = nullptr, *radioOff = nullptr;
    QPushButton *button = nullptr, *buttonDisabled = nullptr, *bitButton = nullptr;
    QGroupBox* group = nullptr;
};

} // namespace stikko
