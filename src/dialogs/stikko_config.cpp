#include "dialogs/stikko_config.h"

#include "dialogs/config_pictures.h"
#include "note/stikko_sub.h"
#include "platform/appenv.h"
#include "platform/codepage.h"
#include "platform/userdialogs.h"
#include "store/dm.h"
#include "theme/colors.h"
#include "theme/fonts.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include <sys/stat.h>

// Resources of a static library are registered by hand; this must run at global scope.
static void initDialogResources() {
    Q_INIT_RESOURCE(dialogs_resources);
}

namespace stikko {

QPointer<TfrmStikko_config> frmStikko_config;

namespace {

// Colour values of the dialog's own furniture (0x00BBGGRR).
constexpr int32_t kColorPageFrame = 9685147;
constexpr int32_t kAlarmPageFrame = 10409468;
constexpr int32_t kSoundPageFrame = 12382189;
constexpr int32_t kSwatchOutline = 11781840;
constexpr int32_t kSliderFill = 13032401;
constexpr int32_t kSliderOutline = 7905894;
constexpr int32_t kAlarmBoxOutline = 13032401;
constexpr int32_t kCalendarBack = 15724281;
constexpr int32_t kSoundLabelBack = 12382189;

constexpr int kOpacityMin = 55;
constexpr int kOpacityMax = 255;
constexpr int kOpacityStep = 20;

const QString kDefaultsCaption = QStringLiteral("☞ 모든 메모장의 기본 값으로 사용됩니다.");

QColor qc(int32_t value) {
    return colors::toQColor(value);
}

void setBackground(QWidget* widget, int32_t color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, qc(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

// A page: a coloured 4-pixel frame around a white area that holds the controls.
QWidget* framedPage(QWidget* parent, int32_t frame, QWidget** area) {
    auto* page = new QWidget(parent);
    setBackground(page, frame);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* white = new QWidget(page);
    setBackground(white, 0x00FFFFFF);
    layout->addWidget(white);
    *area = white;
    return page;
}

QLabel* label(QWidget* parent, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

// The slider lands only on its step points: 55, 75, ..., 255.
int snapOpacity(int value) {
    const int steps = (value - kOpacityMin + kOpacityStep / 2) / kOpacityStep;
    return std::clamp(kOpacityMin + steps * kOpacityStep, kOpacityMin, kOpacityMax);
}

// Tabs of the page control are 20 pixels high.
class ConfigTabBar : public QTabBar {
  public:
    using QTabBar::QTabBar;

  protected:
    QSize tabSizeHint(int index) const override {
        QSize size = QTabBar::tabSizeHint(index);
        size.setHeight(20);
        return size;
    }
};

class ConfigPages : public QTabWidget {
  public:
    explicit ConfigPages(QWidget* parent) : QTabWidget(parent) {
        setTabBar(new ConfigTabBar(this));
        setIconSize(QSize(16, 16));
    }
};

// The note picture (a JPEG, drawn by tools/config_note_picture.cpp) for a pixel ratio: the one
// drawn at twice the pixels above 1, so it stays sharp.
QPixmap notePicture(qreal ratio) {
    const bool twice = ratio > 1.0;
    QImageReader reader(twice ? QStringLiteral(":/dialogs/config_note@2x.jpg")
                              : QStringLiteral(":/dialogs/config_note.jpg"),
                        "jpeg");
    QImage picture = reader.read();
    picture.setDevicePixelRatio(twice ? 2.0 : 1.0);
    return QPixmap::fromImage(picture);
}

// Lexical order of these texts is time order, with hour 24 after every real hour of the day.
QString nowText() {
    return env::now().toString(QStringLiteral("yyyy-MM-dd_HHmm"));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Small controls

ConfigShape::ConfigShape(int tag, QWidget* parent) : QWidget(parent), Tag(tag) {}

void ConfigShape::setFill(int32_t color) {
    fill_ = color;
    update();
}

void ConfigShape::setOutline(int32_t color, int width) {
    outline_ = color;
    outlineWidth_ = width;
    update();
}

void ConfigShape::setRadius(int radius) {
    radius_ = radius;
    update();
}

void ConfigShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal half = outlineWidth_ / 2.0;
    p.setPen(QPen(qc(outline_), outlineWidth_));
    p.setBrush(qc(fill_));
    p.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), radius_, radius_);
}

void ConfigShape::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit pressed(Tag);
}

ConfigColorButton::ConfigColorButton(int tag, QWidget* parent) : QToolButton(parent), Tag(tag) {
    setAutoRaise(true);
    setFixedSize(18, 18);
    setIcon(configpictures::colorButton());
    setIconSize(QSize(14, 14));
    setToolTip(QStringLiteral("글자색"));
    setFocusPolicy(Qt::NoFocus);
}

// ---------------------------------------------------------------------------------------------
// The dialog

TfrmStikko_config::TfrmStikko_config(QWidget* owner) : QDialog(owner) {
    initDialogResources();
    setObjectName(QStringLiteral("frmStikko_config"));
    setWindowTitle(QStringLiteral("Orbindo Stikko  환경설정"));
    // A fixed frame with the system menu and the minimise button (and the close box), above
    // the notes (keepAboveNotes).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(502, 388);
    setFont(fonts::fixedPitch(12));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(0);

    pcConfig = new ConfigPages(this);
    pcConfig->setObjectName(QStringLiteral("pcConfig"));
    outer->addWidget(pcConfig, 1);

    QWidget* area = nullptr;
    tsColor = framedPage(pcConfig, kColorPageFrame, &area);
    tsColor->setObjectName(QStringLiteral("tsColor"));
    buildColorPage(area);
    pcConfig->addTab(tsColor, configpictures::tabIcon(0), QStringLiteral("Orbindo Stikko"));

    tsAlarm = framedPage(pcConfig, kAlarmPageFrame, &area);
    tsAlarm->setObjectName(QStringLiteral("tsAlarm"));
    buildAlarmPage(area);
    pcConfig->addTab(tsAlarm, configpictures::tabIcon(1), QStringLiteral("Alarm(알림) 설정"));

    tsSound = framedPage(pcConfig, kSoundPageFrame, &area);
    tsSound->setObjectName(QStringLiteral("tsSound"));
    buildSoundPage(area);
    pcConfig->addTab(tsSound, configpictures::tabIcon(2), QStringLiteral("벨소리"));
    pcConfig->setCurrentWidget(tsColor);

    // Bottom strip: the caption at the left, "확인" at the right.
    auto* strip = new QWidget(this);
    strip->setFixedHeight(35);
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(6, 0, 2, 0);
    labCaption = new QLabel(kDefaultsCaption, strip);
    labCaption->setObjectName(QStringLiteral("labCaption"));
    stripLayout->addWidget(labCaption, 1);
    sbClose = new QToolButton(strip);
    sbClose->setObjectName(QStringLiteral("sbClose"));
    sbClose->setText(QStringLiteral("확인"));
    sbClose->setToolTip(QStringLiteral("숨김"));
    sbClose->setFixedSize(73, 25);
    stripLayout->addWidget(sbClose, 0, Qt::AlignRight | Qt::AlignVCenter);
    outer->addWidget(strip);
    connect(sbClose, &QToolButton::clicked, this, &TfrmStikko_config::sbCloseClick);

    // Signals are connected after the controls hold their design values.
    connect(rsHide, &QSlider::valueChanged, this, &TfrmStikko_config::rsHideChange);
    connect(rsHide, &QSlider::actionTriggered, this,
            [this](int) { rsHide->setSliderPosition(snapOpacity(rsHide->sliderPosition())); });
    connect(cbToolbar, &QCheckBox::toggled, this, &TfrmStikko_config::cbToolbarClick);
    connect(dtDate, &QDateEdit::dateChanged, this, &TfrmStikko_config::dtDateChange);
    connect(seH, &QSpinBox::valueChanged, this, &TfrmStikko_config::dtDateChange);
    connect(seM, &QSpinBox::valueChanged, this, &TfrmStikko_config::dtDateChange);
    connect(sbSound, &QToolButton::clicked, this, &TfrmStikko_config::sbSoundClick);
    for (ConfigColorButton* button : {clTitle, clTitlebk, clDoc, clBottom})
        connect(button, &QToolButton::clicked, this, [this, button] { clTitleClick(button->Tag); });
    for (ConfigShape* shape : {shTitle, shTitlebk, shDoc, shBottom, Shape2})
        connect(shape, &ConfigShape::pressed, this, &TfrmStikko_config::shTitleMouseDown);
}

TfrmStikko_config::~TfrmStikko_config() = default;

void TfrmStikko_config::buildColorPage(QWidget* area) {
    // The note picture with each colour's button and swatch on the part that it colours.
    imgNote = new QLabel(area);
    imgNote->setObjectName(QStringLiteral("imgNote"));
    imgNote->setGeometry(100, 20, 235, 175);
    imgNote->setPixmap(notePicture(imgNote->devicePixelRatioF()));

    auto makeButton = [area](int tag, const char* name, int x, int y) {
        auto* button = new ConfigColorButton(tag, area);
        button->setObjectName(QString::fromLatin1(name));
        button->move(x, y);
        return button;
    };
    auto makeSwatch = [area](int tag, const char* name, int x, int y) {
        auto* swatch = new ConfigShape(tag, area);
        swatch->setObjectName(QString::fromLatin1(name));
        swatch->setGeometry(x, y, 18, 18);
        swatch->setOutline(kSwatchOutline, 1);
        swatch->setRadius(4);
        return swatch;
    };
    // The Tag, not the name, is the colour target: clTitle colours the title background.
    clTitle = makeButton(0, "clTitle", 124, 27);
    shTitlebk = makeSwatch(0, "shTitlebk", 150, 27);
    clTitlebk = makeButton(1, "clTitlebk", 248, 27);
    shTitle = makeSwatch(1, "shTitle", 273, 28);
    clDoc = makeButton(2, "clDoc", 218, 97);
    shDoc = makeSwatch(2, "shDoc", 245, 96);
    clBottom = makeButton(3, "clBottom", 116, 176);
    shBottom = makeSwatch(3, "shBottom", 143, 176);

    // The hand points at the picture's tool bar; both are placed once the page has its width.
    labHand = label(area, QStringLiteral("☜"), 340, 177);
    labHand->setObjectName(QStringLiteral("labHand"));
    cbToolbar = new QCheckBox(QStringLiteral("아래쪽 메뉴 보이기"), area);
    cbToolbar->setObjectName(QStringLiteral("cbToolbar"));
    cbToolbar->move(356, 175);
    cbToolbar->adjustSize();
    area->installEventFilter(this);

    auto* ask = label(area, QStringLiteral("▷투명한 배경 비율(%)을 선택해 주세요!"), 14, 212);
    auto* olive = label(area, QStringLiteral("(Win2000 이상만 지원)"), ask->geometry().right() + 8, 212);
    setTextColor(olive, QColor(128, 128, 0));

    Shape2 = new ConfigShape(0, area);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setGeometry(10, 230, 462, 46);
    Shape2->setFill(kSliderFill);
    Shape2->setOutline(kSliderOutline, 1);
    Shape2->setRadius(10);
    rsHide = new QSlider(Qt::Horizontal, Shape2);
    rsHide->setObjectName(QStringLiteral("rsHide"));
    rsHide->setGeometry(12, 6, 438, 34);
    rsHide->setRange(kOpacityMin, kOpacityMax);
    rsHide->setSingleStep(kOpacityStep);
    rsHide->setPageStep(kOpacityStep);
    rsHide->setTickPosition(QSlider::TicksBelow);
    rsHide->setTickInterval(kOpacityStep);
    rsHide->setFocusPolicy(Qt::StrongFocus);
    rsHide->setValue(195);
    setBackground(rsHide, kSliderFill);
}

void TfrmStikko_config::buildAlarmPage(QWidget* area) {
    auto* box = new ConfigShape(-1, area);
    box->setObjectName(QStringLiteral("shAlarmBox"));
    box->setGeometry(10, 10, 462, 58);
    box->setFill(0x00FFFFFF);
    box->setOutline(kAlarmBoxOutline, 4);
    box->setRadius(2);
    auto* icon = new QLabel(box);
    icon->setPixmap(configpictures::alarmIcon().pixmap(QSize(32, 32)));
    icon->setGeometry(14, 13, 32, 32);
    cbAlram = new QCheckBox(QStringLiteral("알림 활성화"), box);
    cbAlram->setObjectName(QStringLiteral("cbAlram"));
    cbAlram->move(58, 10);
    cbAlram->adjustSize();
    auto* hint = label(box, QStringLiteral("지정된 시간에 알림...."), 78, 33);
    setTextColor(hint, QColor(128, 128, 128));

    auto* group = new QGroupBox(QStringLiteral("알림 시각"), area);
    group->setGeometry(10, 80, 330, 120);

    dtDate = new QDateEdit(group);
    dtDate->setObjectName(QStringLiteral("dtDate"));
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    dtDate->setLocale(korean);
    dtDate->setDisplayFormat(korean.dateFormat(QLocale::LongFormat));
    dtDate->setCalendarPopup(true);
    QPalette calendarPalette = dtDate->calendarWidget()->palette();
    calendarPalette.setColor(QPalette::Base, qc(kCalendarBack));
    calendarPalette.setColor(QPalette::Window, qc(kCalendarBack));
    dtDate->calendarWidget()->setPalette(calendarPalette);
    dtDate->setGeometry(14, 24, 200, 22);

    seH = new QSpinBox(group);
    seH->setObjectName(QStringLiteral("seH"));
    seH->setRange(0, 24);
    seH->setGeometry(14, 54, 48, 22);
    label(group, QStringLiteral("시"), 66, 58);
    seM = new QSpinBox(group);
    seM->setObjectName(QStringLiteral("seM"));
    seM->setRange(0, 59);
    seM->setSingleStep(10);
    seM->setGeometry(88, 54, 48, 22);
    label(group, QStringLiteral("분"), 140, 58);

    label(group, QStringLiteral("다시 알림 간격"), 14, 90);
    seRepeat = new QSpinBox(group);
    seRepeat->setObjectName(QStringLiteral("seRepeat"));
    seRepeat->setRange(1, 120);
    seRepeat->setValue(30);
    seRepeat->setAlignment(Qt::AlignRight);
    seRepeat->setGeometry(106, 86, 52, 22);
    label(group, QStringLiteral("분 마다 다시 알림"), 162, 90);

    auto* glass = new QLabel(area);
    glass->setPixmap(configpictures::hourglass().pixmap(QSize(114, 99)));
    glass->setGeometry(354, 90, 114, 99);
}

void TfrmStikko_config::buildSoundPage(QWidget* area) {
    cbSound = new QCheckBox(QStringLiteral("벨소리 울리기"), area);
    cbSound->setObjectName(QStringLiteral("cbSound"));
    cbSound->move(14, 14);
    cbSound->adjustSize();

    auto* group = new QGroupBox(QStringLiteral("벨소리"), area);
    group->setGeometry(10, 44, 462, 92);
    labSound = new QLabel(group);
    labSound->setObjectName(QStringLiteral("labSound"));
    labSound->setGeometry(14, 26, 385, 19);
    labSound->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setBackground(labSound, kSoundLabelBack);
    sbSound = new QToolButton(group);
    sbSound->setObjectName(QStringLiteral("sbSound"));
    sbSound->setIcon(configpictures::browse());
    sbSound->setIconSize(QSize(14, 14));
    sbSound->setGeometry(403, 25, 22, 21);
    label(group, QStringLiteral("지원 가능한 사운드 파일은 *.wav 파일 입니다."), 14, 60);
}

// ---------------------------------------------------------------------------------------------
// Showing and closing

void TfrmStikko_config::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmStikko_config::FormShow() {
    perNote_ = !noteWindow.isNull();
    const QSize area = env::workArea();
    const QSize outer = frameGeometry().size();
    const int left = area.width() - outer.width();
    const int top = perNote_ ? 0 : area.height() - outer.height();
    move(left, top);

    swatches = {shTitlebk, shTitle, shDoc, shBottom};

    if (perNote_) {
        noteWindow->installEventFilter(this);
        labCaption->setText(QString());
        LoadFromRecord(noteWindow->record());
        dtDateChange();
    } else {
        labCaption->setText(kDefaultsCaption);
        LoadFromRecord(noteRecord);
    }
}

bool TfrmStikko_config::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == noteWindow.data() && isVisible())
        close();
    if (event->type() == QEvent::Resize && watched == cbToolbar->parentWidget())
        placeToolbarChoice();
    return QDialog::eventFilter(watched, event);
}

void TfrmStikko_config::placeToolbarChoice() {
    // The check box, as wide as its text in the dialog's font (its size hint leaves a few
    // pixels after the text), stays inside the page's white area, right of the picture, with
    // the hand just left of it.
    constexpr int kDesignLeft = 356;
    const QWidget* area = cbToolbar->parentWidget();
    cbToolbar->adjustSize();
    const int left = std::min(kDesignLeft, area->width() - cbToolbar->width());
    cbToolbar->move(left, cbToolbar->y());
    labHand->move(left - 2 - labHand->width(), labHand->y());
}

void TfrmStikko_config::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TfrmStikko_config::FormClose() {
    if (stored_ || !shown_)
        return;
    stored_ = true;
    if (perNote_) {
        // The note takes the values itself (and writes them); a note closing now takes them
        // before it saves for the last time.
        if (noteWindow) {
            NoteRecord settings = noteWindow->record();
            StoreToRecord(settings);
            noteWindow->takeSettings(settings);
        }
    } else {
        StoreToRecord(noteRecord);
    }
}

void TfrmStikko_config::sbCloseClick() {
    close();
}

// ---------------------------------------------------------------------------------------------
// Record <-> controls

void TfrmStikko_config::LoadFromRecord(NoteRecord r) {
    // Filling is not an edit: no handler runs while the controls take the record's values.
    const std::array<QObject*, 7> quiet = {rsHide, cbToolbar, cbAlram, dtDate, seH, seM, cbSound};
    std::vector<QSignalBlocker> blockers(quiet.begin(), quiet.end());

    shTitle->setFill(r.title_color);
    shTitlebk->setFill(r.titlebk_color);
    shDoc->setFill(r.batang_color);
    shBottom->setFill(r.bottom_color);

    rsHide->setValue(r.opt_color);

    cbAlram->setChecked(r.isalram != 0);
    cbToolbar->setChecked(r.isshow_toolbar != 0);

    // An empty or unreadable date shows today.
    QDate date;
    const QString dateText = cp949::fieldText(r.alram_date);
    if (!dateText.isEmpty())
        date = QDate::fromString(dateText, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        date = env::now().date();
    dtDate->setDate(date);

    seH->setValue(r.alram_h);
    seM->setValue(r.alram_m);
    seRepeat->setValue(r.alram_repeat);

    cbSound->setChecked(r.is_sound != 0);

    setSoundPath(cp949::fieldBytes(r.sound_file).toByteArray());
}

void TfrmStikko_config::StoreToRecord(NoteRecord& r) const {
    r.title_color = shTitle->fill();
    r.titlebk_color = shTitlebk->fill();
    r.batang_color = shDoc->fill();
    r.bottom_color = shBottom->fill();

    r.opt_color = rsHide->value();

    r.isshow_toolbar = cbToolbar->isChecked() ? 1 : 0;
    r.isalram = cbAlram->isChecked() ? 1 : 0;

    r.alram_h = seH->value();
    r.alram_m = seM->value();
    r.alram_repeat = seRepeat->value();

    const QByteArray date = dtDate->date().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    cp949::copyToField(r.alram_date, date);
    const QByteArray moment = date + ' ' + QByteArray::number(r.alram_h).rightJustified(2, '0') + ':' +
                              QByteArray::number(r.alram_m).rightJustified(2, '0') + ":00";
    cp949::copyToField(r.alram_datetime, moment);

    r.is_sound = cbSound->isChecked() ? 1 : 0;
    cp949::copyToField(r.sound_file, soundBytes_);
}

void TfrmStikko_config::setSoundPath(const QByteArray& bytes) {
    soundBytes_ = bytes;
    labSound->setText(cp949::decode(bytes));
    labSound->setToolTip(labSound->text());
}

// ---------------------------------------------------------------------------------------------
// Colours and preview

void TfrmStikko_config::clTitleClick(int tag) {
    ChooseColor(tag);
}

void TfrmStikko_config::shTitleMouseDown(int tag) {
    ChooseColor(tag);
}

void TfrmStikko_config::ChooseColor(int target) {
    if (target < 0 || target >= int(swatches.size()) || !swatches[std::size_t(target)])
        return;
    ConfigShape* swatch = swatches[std::size_t(target)];
    if (const std::optional<QColor> chosen = dialogs().chooseColor(this, qc(swatch->fill()));
        chosen && chosen->isValid())
        swatch->setFill(colors::fromQColor(*chosen));
    if (perNote_)
        PreviewOnNote();
}

void TfrmStikko_config::PreviewOnNote() {
    if (!perNote_ || !noteWindow)
        return;
    NoteRecord shown = noteWindow->record();
    StoreToRecord(shown);
    noteWindow->previewSettings(shown);
}

void TfrmStikko_config::rsHideChange() {
    if (perNote_)
        PreviewOnNote();
}

void TfrmStikko_config::cbToolbarClick() {
    if (perNote_)
        PreviewOnNote();
}

// ---------------------------------------------------------------------------------------------
// Alarm time and sound file

void TfrmStikko_config::dtDateChange() {
    // An alarm may not be switched on for a minute that has already passed.
    const QString pick = dtDate->date().toString(QStringLiteral("yyyy-MM-dd")) +
                         QStringLiteral("_%1%2")
                             .arg(seH->value(), 2, 10, QLatin1Char('0'))
                             .arg(seM->value(), 2, 10, QLatin1Char('0'));
    cbAlram->setEnabled(true);
    if (pick < nowText()) {
        cbAlram->setChecked(false);
        cbAlram->setEnabled(false);
    }
}

QString TfrmStikko_config::soundPathForRecord(const QString& chosen) {
    const QString lower = chosen.toLower();
    if (lower == chosen)
        return chosen;
    struct stat chosenStat {};
    if (::stat(QFile::encodeName(chosen).constData(), &chosenStat) != 0)
        return lower; // names nothing here: nothing to lose by lower-casing
    struct stat lowerStat {};
    if (::stat(QFile::encodeName(lower).constData(), &lowerStat) == 0 &&
        lowerStat.st_dev == chosenStat.st_dev && lowerStat.st_ino == chosenStat.st_ino)
        return lower; // a file system that ignores case
    return chosen;    // lower-casing would lose the file
}

void TfrmStikko_config::sbSoundClick() {
    const std::optional<QString> chosen = dialogs().chooseSoundFile(this, labSound->text());
    if (!chosen || chosen->isEmpty())
        return;
    const QString path = soundPathForRecord(*chosen);
    const QByteArray bytes = cp949::encode(path);
    if (cp949::decode(bytes) != path) {
        dialogs().showMessage(this, QStringLiteral("선택한 파일의 경로에 저장할 수 없는 글자가 있습니다.\n"
                                                   "다른 위치의 파일을 선택해 주세요.\n\n%1")
                                        .arg(path));
        return;
    }
    if (bytes.size() >= qsizetype(sizeof(NoteRecord::sound_file))) {
        dialogs().showMessage(this, QStringLiteral("선택한 파일의 경로가 너무 깁니다.\n"
                                                   "경로는 %1 바이트까지 저장할 수 있습니다.\n\n%2")
                                        .arg(sizeof(NoteRecord::sound_file) - 1)
                                        .arg(path));
        return;
    }
    setSoundPath(bytes);
}

// ---------------------------------------------------------------------------------------------
// Running the dialog

namespace {
// A second settings dialog is never opened: the one that runs is brought forward instead.
bool bringForwardRunning() {
    if (!frmStikko_config)
        return false;
    frmStikko_config->showNormal();
    frmStikko_config->raise();
    frmStikko_config->activateWindow();
    return true;
}
} // namespace

bool RunDefaultsSettings(QWidget* owner) {
    if (bringForwardRunning() || !Dm)
        return false;
    QPointer<TfrmStikko_config> dialog = new TfrmStikko_config(owner);
    frmStikko_config = dialog;
    dialog->pcConfig->setTabVisible(dialog->pcConfig->indexOf(dialog->tsAlarm), false);

    LoadNoteRecord(Dm->defaults, kDefaultsFile);
    dialog->noteRecord = Dm->defaults;
    dialog->exec();
    if (!dialog) // the owner went away while the dialog ran; nothing was stored
        return false;
    if (Dm)
        Dm->defaults = dialog->noteRecord;
    delete dialog.data();
    frmStikko_config = nullptr;

    if (!Dm)
        return false;
    if (!SaveNoteRecord(kDefaultsFile, Dm->defaults)) {
        dialogs().showMessage(owner, QStringLiteral("기본 환경 설정을 저장하지 못했습니다.\n%1")
                                         .arg(env::storageFolder() + QString::fromLatin1(kDefaultsFile)));
        return false;
    }
    return true;
}

bool RunNoteSettings(TfrmStikko_sub* note, int page) {
    if (!note || bringForwardRunning())
        return false;
    QPointer<TfrmStikko_config> dialog = new TfrmStikko_config(note);
    frmStikko_config = dialog;
    if (page == 1)
        dialog->pcConfig->setCurrentWidget(dialog->tsAlarm);
    dialog->noteWindow = note;
    dialog->exec();
    delete dialog.data();
    frmStikko_config = nullptr;
    return true;
}

} // namespace stikko
