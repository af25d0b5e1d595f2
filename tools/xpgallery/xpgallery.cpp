#include "xpgallery.h"

#include "theme/colors.h"
#include "theme/fonts.h"
#include "theme/icons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace stikko {

namespace {

QFont galleryFont() {
    QFont font = fonts::proportional();
    font.setPixelSize(12);
    return font;
}

QFrame* panel(QWidget* parent, QFrame::Shape shape, QFrame::Shadow shadow, ColorValue color) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(shape);
    frame->setFrameShadow(shadow);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, colors::toQColor(color));
    frame->setPalette(palette);
    return frame;
}

QToolButton* speedButton(QWidget* parent, int icon, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setIcon(QIcon(icons::editIcon(icon)));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setFixedSize(18, 17);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QToolButton* toolButton(QToolBar* bar, int icon, const QString& text) {
    QAction* action = bar->addAction(icon >= 0 ? QIcon(icons::editIcon(icon)) : QIcon(), text);
    return static_cast<QToolButton*>(bar->widgetForAction(action));
}

QMenu* sampleMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->addAction(QIcon(icons::editIcon(3)), QStringLiteral("복사"));
    menu->addAction(QIcon(icons::editIcon(5)), QStringLiteral("붙이기"));
    menu->addSeparator();
    QAction* ontop = menu->addAction(QStringLiteral("항상 위"));
    ontop->setCheckable(true);
    ontop->setChecked(true);
    return menu;
}

} // namespace

XPGallery::XPGallery(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Stikko 테마 견본"));
    setFont(galleryFont());

    // The menu bar.
    QMenu* file = menuBar()->addMenu(QStringLiteral("파일(&F)"));
    file->addAction(QIcon(icons::editIcon(10)), QStringLiteral("인쇄(&P)"));
    file->addAction(QIcon(icons::editIcon(11)), QStringLiteral("끝내기(&X)"));
    QMenu* editMenu = menuBar()->addMenu(QStringLiteral("편집(&E)"));
    editMenu->addAction(QIcon(icons::editIcon(3)), QStringLiteral("복사(&C)"));
    editMenu->addAction(QIcon(icons::editIcon(5)), QStringLiteral("붙이기(&V)"));
    menuBar()
        ->addMenu(QStringLiteral("도움말(&H)"))
        ->addAction(QIcon(icons::editIcon(16)), QStringLiteral("정보"));

    // Two bands of the window's control bar.
    toolBar = addToolBar(QStringLiteral("도구"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->setIconSize(QSize(16, 16));
    tbNew = toolButton(toolBar, 13, QStringLiteral("새 메모"));
    tbBold = toolButton(toolBar, 7, QStringLiteral("굵게"));
    tbBold->defaultAction()->setCheckable(true);
    tbBold->defaultAction()->setChecked(true);
    tbPaste = toolButton(toolBar, 5, QStringLiteral("붙이기"));
    tbPaste->setMenu(sampleMenu(tbPaste));
    tbPaste->setPopupMode(QToolButton::MenuButtonPopup);
    // A separator with a line through it: its tag is above 0 (the caption bar's is a gap).
    toolBar->addSeparator()->setProperty("Tag", 1);
    tbCut = toolButton(toolBar, 4, QStringLiteral("자르기"));
    tbCut->setEnabled(false);
    tbMenu = toolButton(toolBar, -1, QStringLiteral("메뉴"));
    tbMenu->setMenu(sampleMenu(tbMenu));
    tbMenu->setPopupMode(QToolButton::InstantPopup);

    captionBar = addToolBar(QStringLiteral("글자"));
    captionBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    captionBar->setIconSize(QSize(16, 16));
    captionBar->setAttribute(Qt::WA_NoSystemBackground); // its buttons are drawn on the band itself
    toolButton(captionBar, 10, QStringLiteral("인쇄"));
    captionBar->addSeparator();
    QToolButton* alarm = toolButton(captionBar, 14, QStringLiteral("알람"));
    alarm->defaultAction()->setCheckable(true);
    alarm->defaultAction()->setChecked(true);
    toolButton(captionBar, 12, QStringLiteral("삭제"));

    auto* central = new QWidget(this); // a frame: the controls' parent
    setCentralWidget(central);
    auto* rows = new QVBoxLayout(central);
    rows->setContentsMargins(8, 8, 8, 8);
    rows->setSpacing(8);

    // Panels; the speed buttons sit on the raised one, as on a note's tool bar.
    auto* panels = new QHBoxLayout;
    pnRaised = panel(central, QFrame::Panel, QFrame::Raised, kPanelColor);
    auto* buttons = new QHBoxLayout(pnRaised);
    buttons->setContentsMargins(4, 4, 4, 4);
    buttons->setSpacing(2);
    sbPrint = speedButton(pnRaised, 10, QStringLiteral("인쇄"));
    sbBullets = speedButton(pnRaised, 1, QStringLiteral("글머리표"));
    sbBullets->setCheckable(true);
    sbBullets->setChecked(true);
    sbDisabled = speedButton(pnRaised, 12, QStringLiteral("삭제"));
    sbDisabled->setEnabled(false);
    sbRaised = speedButton(pnRaised, 14, QStringLiteral("알람"));
    sbRaised->setAutoRaise(false);
    sbRaised->setFixedSize(23, 22);
    sbCaption = speedButton(pnRaised, 13, QStringLiteral("설정"));
    sbCaption->setText(QStringLiteral("설정"));
    sbCaption->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    sbCaption->setFixedSize(54, 22);
    for (QToolButton* b : {sbPrint, sbBullets, sbDisabled, sbRaised, sbCaption})
        buttons->addWidget(b);
    buttons->addStretch();
    panels->addWidget(pnRaised, 2);
    pnLowered = panel(central, QFrame::Panel, QFrame::Sunken, 0x00F6F6F6);
    (new QHBoxLayout(pnLowered))->addWidget(new QLabel(QStringLiteral("들어간 패널"), pnLowered));
    panels->addWidget(pnLowered, 1);
    pnRidge = panel(central, QFrame::Box, QFrame::Raised, 0x00F6F6F6);
    pnRidge->setMidLineWidth(1);
    (new QHBoxLayout(pnRidge))->addWidget(new QLabel(QStringLiteral("두 겹 테두리"), pnRidge));
    panels->addWidget(pnRidge, 1);
    rows->addLayout(panels);

    // Rich edits: one with a border of its own, one without inside a panel.
    auto* edits = new QHBoxLayout;
    reBordered = new QTextEdit(central);
    reBordered->setHtml(QStringLiteral("<b>테두리</b> 있는 서식 편집기"));
    reBordered->setFixedHeight(60);
    edits->addWidget(reBordered);
    QFrame* docPanel = panel(central, QFrame::NoFrame, QFrame::Plain, 0x00F6F6F6);
    auto* docLayout = new QHBoxLayout(docPanel);
    docLayout->setContentsMargins(3, 3, 3, 3);
    reBare = new QTextEdit(docPanel);
    reBare->setFrameShape(QFrame::NoFrame);
    reBare->setPlainText(QStringLiteral("테두리 없는 편집기: 초점을 받으면 둘레가 밝아집니다"));
    docLayout->addWidget(reBare);
    docPanel->setFixedHeight(60);
    edits->addWidget(docPanel);
    rows->addLayout(edits);

    auto* lines = new QHBoxLayout;
    edit = new QLineEdit(QStringLiteral("한 줄 편집"), central);
    maskEdit = new QLineEdit(central);
    maskEdit->setInputMask(QStringLiteral("0000-00-00"));
    maskEdit->setText(QStringLiteral("20240501"));
    memo = new QPlainTextEdit(QStringLiteral("여러 줄\n메모"), central);
    memo->setFixedHeight(44);
    lines->addWidget(edit);
    lines->addWidget(maskEdit);
    lines->addWidget(memo);
    rows->addLayout(lines);

    auto* combos = new QHBoxLayout;
    combo = new QComboBox(central);
    combo->addItems({QStringLiteral("굴림"), QStringLiteral("굴림체"), QStringLiteral("바탕")});
    comboEditable = new QComboBox(central);
    comboEditable->setEditable(true);
    comboEditable->addItems({QStringLiteral("12"), QStringLiteral("14")});
    comboDisabled = new QComboBox(central);
    comboDisabled->addItem(QStringLiteral("쓸 수 없음"));
    comboDisabled->setEnabled(false);
    for (QComboBox* c : {combo, comboEditable, comboDisabled})
        combos->addWidget(c);
    rows->addLayout(combos);

    auto* checks = new QHBoxLayout;
    check = new QCheckBox(QStringLiteral("켜짐"), central);
    check->setChecked(true);
    checkGrayed = new QCheckBox(QStringLiteral("반쯤"), central);
    checkGrayed->setTristate(true);
    checkGrayed->setCheckState(Qt::PartiallyChecked);
    checkOff = new QCheckBox(QStringLiteral("꺼짐"), central);
    radioOn = new QRadioButton(QStringLiteral("하나"), central);
    radioOn->setChecked(true);
    radioOff = new QRadioButton(QStringLiteral("둘"), central);
    for (QWidget* w : std::initializer_list<QWidget*>{check, checkGrayed, checkOff, radioOn, radioOff})
        checks->addWidget(w);
    checks->addStretch();
    rows->addLayout(checks);

    auto* pushes = new QHBoxLayout;
    button = new QPushButton(QStringLiteral("확인"), central);
    button->setDefault(true);
    buttonDisabled = new QPushButton(QStringLiteral("취소"), central);
    buttonDisabled->setEnabled(false);
    bitButton = new QPushButton(QIcon(icons::editIcon(10)), QStringLiteral("인쇄"), central);
    for (QPushButton* b : {button, buttonDisabled, bitButton})
        pushes->addWidget(b);
    pushes->addStretch();
    rows->addLayout(pushes);

    group = new QGroupBox(QStringLiteral("모둠 상자"), central);
    auto* inGroup = new QHBoxLayout(group);
    inGroup->addWidget(new QCheckBox(QStringLiteral("모둠 안의 선택"), group));
    inGroup->addWidget(new QRadioButton(QStringLiteral("모둠 안의 단추"), group));
    rows->addWidget(group);

    styleSwitch = new QCheckBox(QStringLiteral("XP 스타일"), central);
    styleSwitch->setProperty("Tag", kKeepOwnLookTag); // the switch is the gallery's, not an exhibit
    styleSwitch->setChecked(true);
    rows->addWidget(styleSwitch);
    rows->addStretch();

    xpStyle = new TXPStyle(this);
    configureFormStyle(*xpStyle, kAllXPControls, kAllXPContainers);
    xpStyle->SetDrawMenuBar(true); // the whole bar in the bar colour, not only its items
    xpStyle->SetActive(true);
    connect(styleSwitch, &QCheckBox::toggled, xpStyle, &TXPStyle::SetActive);
}

} // namespace stikko
