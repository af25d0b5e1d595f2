// A menu under the flat style, grabbed: its rows' sizes, and the colours of background, icon
// column, selection bar, separator, shortcut, greyed glyph and check boxes, each expected colour
// worked out from the desktop's colours through the helpers (whose arithmetic xphelpers_test
// pins). Also how the style takes menus over and gives them back. Then the controls and bars of
// the theme gallery's window in their states, and the same widgets with the style switched off.
#include "theme/colors.h"
#include "theme/fonts.h"
#include "theme/icons.h"
#include "theme/xpstyle.h"

#include "xpgallery.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <memory>

using namespace stikko;
using namespace stikko::xp;

namespace {

ColorValue at(const QImage& image, int x, int y) {
    return colors::fromQColor(image.pixelColor(x, y));
}

// The desktop's colours, as plain RGB.
ColorValue desktop(int index) {
    return colors::resolve(colors::systemColorValue(index));
}

QImage shotOf(QWidget* widget) {
    QCoreApplication::processEvents(); // layouts redone after a change of style
    return widget->grab().toImage();
}

void hover(QWidget* widget) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(widget, &enter);
}

int count(const QImage& image, const QRect& area, ColorValue color) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += at(image, x, y) == color ? 1 : 0;
    return n;
}

} // namespace

class XPStyleTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> form;
    TXPStyle* style = nullptr;
    QMenu* menu = nullptr;
    QAction *open = nullptr, *ontop = nullptr, *off = nullptr, *paste = nullptr, *radio = nullptr,
            *cut = nullptr, *fat = nullptr, *plain = nullptr;

    QImage grab(QAction* hot = nullptr) {
        menu->setActiveAction(hot);
        menu->resize(menu->sizeHint());
        return menu->grab().toImage();
    }
    QRect row(QAction* action) { return menu->actionGeometry(action); }

  private slots:
    void initTestCase() { fonts::installSubstitutions(); }

    void init() {
        form = std::make_unique<QWidget>();
        style = new TXPStyle(form.get());
        configureFormStyle(*style, xcPopupMenu, xccGroupBox);
        MenuFont font = style->Font(); // text in whole pixels, so its colours can be compared
        font.font.setStyleStrategy(QFont::NoAntialias);
        style->SetFont(font);
        menu = new QMenu(form.get());
        open = menu->addAction(icons::editIcon(13), QStringLiteral("열기"));
        open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
        open->setShortcutVisibleInContextMenu(true);
        menu->addSeparator();
        ontop = menu->addAction(QStringLiteral("항상 위"));
        ontop->setCheckable(true);
        ontop->setChecked(true);
        off = menu->addAction(QStringLiteral("꺼짐"));
        off->setCheckable(true);
        paste = menu->addAction(icons::editIcon(5), QStringLiteral("붙이기"));
        paste->setCheckable(true);
        paste->setChecked(true);
        auto* group = new QActionGroup(menu);
        radio = menu->addAction(QStringLiteral("라디오"));
        radio->setCheckable(true);
        group->addAction(radio);
        radio->setChecked(true);
        cut = menu->addAction(icons::editIcon(4), QStringLiteral("자르기"));
        cut->setEnabled(false);
        fat = menu->addAction(QStringLiteral("기본 항목"));
        menu->setDefaultAction(fat);
        plain = menu->addAction(QStringLiteral("기본 항목"));
        style->SetActive(true);
    }

    void cleanup() { form.reset(); }

    void rows_areMeasuredAtTheFlatStylesSizes() {
        QCOMPARE(menu->style(), style);
        // 14-pixel text: 14 + round(10.5) = 24, the half going to the even 10.
        for (QAction* action : menu->actions())
            QCOMPARE(row(action).height(), action->isSeparator() ? 4 : 24);
        QCOMPARE(row(open).topLeft(), QPoint(3, 3)); // inside the menu window's frame
        QCOMPARE(row(ontop).top(), 3 + 24 + 4);

        // Width: the widest row's measure (text + 5 + icon column, a shortcut with "WWW"
        // before it), two average characters, and the frame on both sides.
        QFont font(QStringLiteral("굴림"));
        font.setPixelSize(12);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            QString text = action->text();
            if (!action->shortcut().isEmpty())
                text += action->shortcut().toString(QKeySequence::NativeText) + QStringLiteral("WWW");
            widest = std::max(widest, metrics.horizontalAdvance(text) + 5 + 24);
        }
        QCOMPARE(row(open).width(), widest + 2 * metrics.averageCharWidth());
        QCOMPARE(menu->sizeHint(), QSize(3 + row(open).width() + 3, 3 + 8 * 24 + 4 + 3));

        // The mnemonic marker takes no room; a separator is 4 high whatever is proposed.
        XPMenuItem marked;
        marked.caption = QStringLiteral("파일(&F)");
        QCOMPARE(style->MeasureItem(marked, QSize()).width(), metrics.horizontalAdvance("파일(F)") + 5 + 24);
        XPMenuItem line;
        line.separator = true;
        QCOMPARE(style->MeasureItem(line, QSize(10, 30)), QSize(5 + 24, 4));
    }

    void items_arePaintedInTheWorkingPalettesColours() {
        const QImage shot = grab(open);
        const XPPalette& p = style->workingPalette();
        QVERIFY(p.HighColorMode);
        QCOMPARE(p.MenuBackColor, NewColor(desktop(colors::kButtonFace), 86));
        QCOMPARE(p.IconColumnColor, NewColor(desktop(colors::kButtonFace), 16));
        QCOMPARE(p.SelectionFillColor, NewColor(desktop(colors::kHighlight), 68));
        QCOMPARE(p.SeparatorLineColor, NewColor(desktop(colors::kButtonShadow), 25));

        // Background and icon column of a plain item.
        const QRect r = row(off);
        QCOMPARE(at(shot, r.right() - 2, r.top() + 2), p.MenuBackColor);
        QCOMPARE(at(shot, r.left() + 2, r.top() + 12), p.IconColumnColor);

        // The hot item: its top row left as it was, then the frame, the fill, the frame.
        const QRect h = row(open);
        QCOMPARE(at(shot, h.right() - 2, h.top()), p.MenuBackColor);
        QCOMPARE(at(shot, h.left() + 2, h.top()), p.IconColumnColor);
        QCOMPARE(at(shot, h.right() - 2, h.top() + 1), desktop(colors::kHighlight));
        QCOMPARE(at(shot, h.right() - 2, h.top() + 2), p.SelectionFillColor);
        QCOMPARE(at(shot, h.right() - 2, h.bottom() - 1), p.SelectionFillColor);
        QCOMPARE(at(shot, h.right() - 2, h.bottom()), desktop(colors::kHighlight));
        QCOMPARE(at(shot, h.right(), h.top() + 12), desktop(colors::kHighlight));

        // The separator: a line two pixels below its top, from 7 pixels past the icon column.
        const QRect s = row(menu->actions().at(1));
        QCOMPARE(at(shot, s.left() + 24 + 6, s.top() + 2), p.MenuBackColor);
        QCOMPARE(at(shot, s.left() + 24 + 7, s.top() + 2), p.SeparatorLineColor);
        QCOMPARE(at(shot, s.right(), s.top() + 2), p.SeparatorLineColor);
        QCOMPARE(at(shot, s.left() + 24 + 7, s.top() + 1), p.MenuBackColor);
        QCOMPARE(at(shot, s.left() + 24 + 7, s.top() + 3), p.MenuBackColor);

        // The shortcut ends 10 pixels inside the row, in a colour lighter than the caption's.
        const ColorValue keys = GetShadeColor(desktop(colors::kMenuText), -40);
        int keysInk = 0;
        for (int y = h.top() + 2; y < h.bottom(); ++y) {
            for (int x = h.center().x(); x <= h.right() - 1; ++x) {
                const ColorValue c = at(shot, x, y);
                QVERIFY(c == p.SelectionFillColor || (c == keys && x < h.right() - 9));
                keysInk += c == keys ? 1 : 0;
            }
        }
        QVERIFY(keysInk > 20);
    }

    void glyphsAndChecks_followTheItemsState() {
        const QImage shot = grab(cut); // a disabled item is hot: no bar
        // With STIKKO_MENU_SHOTS=<folder> the grabs are kept there for a person to look at.
        if (const QString folder = qEnvironmentVariable("STIKKO_MENU_SHOTS"); !folder.isEmpty()) {
            shot.save(folder + QStringLiteral("/menu_disabled_hot.png"));
            grab(open).save(folder + QStringLiteral("/menu_hot.png"));
        }
        const XPPalette& p = style->workingPalette();
        const QRect d = row(cut);
        QCOMPARE(at(shot, d.right() - 2, d.top() + 2), p.MenuBackColor);

        // The disabled glyph: greyed with level 10, then faded by 40, at rest in the column.
        QImage expected =
            icons::editIcon(4).pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        GrayBitmap(expected, 10);
        DimBitmap(expected, 40);
        QImage composed(16, 16, QImage::Format_RGB32);
        composed.fill(toColor(p.IconColumnColor));
        QPainter(&composed).drawImage(0, 0, expected);
        QCOMPARE(shot.copy(d.left() + 3, d.top() + 3, 16, 16).convertToFormat(QImage::Format_RGB32),
                 composed);

        // A checked item without a glyph: a 10 x 10 box in the column's middle with a black tick.
        const QRect c = row(ontop);
        QCOMPARE(at(shot, c.left() + 7, c.top() + 7), p.CheckFrameColor);
        QCOMPARE(at(shot, c.left() + 16, c.top() + 16), p.CheckFrameColor);
        QCOMPARE(at(shot, c.left() + 8, c.top() + 8), p.CheckBoxFillColor);
        QCOMPARE(at(shot, c.left() + 10, c.top() + 14), kBlack);
        QCOMPARE(at(shot, c.left() + 18, c.top() + 7), kBlack); // past the box's corner
        QCOMPARE(at(shot, row(off).left() + 7, row(off).top() + 7), p.IconColumnColor); // unchecked
        // Checked with a glyph: a box around it. A radio item: a filled circle.
        const QRect g = row(paste);
        QCOMPARE(at(shot, g.left() + 1, g.top() + 12), p.SelectionFrameColor);
        QCOMPARE(at(shot, g.left() + 2, g.top() + 3), p.CheckBoxFillColor);
        const QRect o = row(radio);
        QCOMPARE(at(shot, o.left() + 12, o.top() + 12), p.CheckBoxFillColor);
        QCOMPARE(at(shot, o.left() + 7, o.top() + 7), p.IconColumnColor); // the circle's corner

        // A default item's caption is thicker than the same caption plain.
        const auto ink = [&shot, &p](const QRect& r) {
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left() + 24; x <= r.right(); ++x)
                    n += at(shot, x, y) != p.MenuBackColor ? 1 : 0;
            return n;
        };
        QVERIFY2(ink(row(fat)) > ink(row(plain)) * 5 / 4,
                 qPrintable(QStringLiteral("%1 / %2").arg(ink(row(fat))).arg(ink(row(plain)))));

        // A hot glyph lifts by one pixel and casts its shadow two pixels further on.
        const QImage hot = grab(open);
        const QImage glyph =
            icons::editIcon(13).pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        const QRect h = row(open);
        const ColorValue shadow = GetShadeColor(p.SelectionFillColor, 50);
        int lifted = 0, shaded = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb source = glyph.pixel(x, y);
                if (qAlpha(source) == 255 &&
                    at(hot, h.left() + 2 + x, h.top() + 2 + y) == colors::fromQColor(QColor(source)))
                    ++lifted;
                if (qAlpha(source) == 255 &&
                    (x + 2 >= 16 || y + 2 >= 16 || qAlpha(glyph.pixel(x + 2, y + 2)) == 0) &&
                    at(hot, h.left() + 4 + x, h.top() + 4 + y) == shadow)
                    ++shaded;
            }
        }
        QVERIFY2(lifted > 60 && shaded > 10, qPrintable(QStringLiteral("%1 %2").arg(lifted).arg(shaded)));
    }

    void rightToLeft_putsTheIconColumnOnTheRight() {
        menu->setLayoutDirection(Qt::RightToLeft);
        const QImage shot = grab();
        const XPPalette& p = style->workingPalette();
        const QRect r = row(off);
        QCOMPARE(at(shot, r.right() - 2, r.top() + 12), p.IconColumnColor);
        QCOMPARE(at(shot, r.left() + 2, r.top() + 12), p.MenuBackColor);
        const QRect s = row(menu->actions().at(1));
        QCOMPARE(at(shot, s.right() - 24 - 6, s.top() + 2), p.MenuBackColor);
        QCOMPARE(at(shot, s.right() - 24 - 7, s.top() + 2), p.SeparatorLineColor);
        QCOMPARE(at(shot, s.left(), s.top() + 2), p.SeparatorLineColor);
    }

    void flatBorderAndGradient_whenAsked() {
        style->SetFlatMenu(true);
        style->SetGradient(true);
        QImage shot = grab(open);
        if (const QString folder = qEnvironmentVariable("STIKKO_MENU_SHOTS"); !folder.isEmpty())
            shot.save(folder + QStringLiteral("/menu_flat_gradient.png"));
        const XPPalette& p = style->workingPalette();
        const int w = shot.width(), h = shot.height();
        QCOMPARE(at(shot, 0, 0), p.MenuFrameColor);
        QCOMPARE(at(shot, w - 3, h - 3), p.MenuFrameColor);
        QCOMPARE(at(shot, w - 1, h - 1), p.MenuShadowColor); // the shadow, its corners cleared
        QCOMPARE(at(shot, w - 1, 0), desktop(colors::kButtonFace));
        QCOMPARE(at(shot, 0, h - 1), desktop(colors::kButtonFace));
        const QRect r = row(open); // the bar stops a pixel short of the right edge
        QCOMPARE(at(shot, r.right() - 1, r.top() + 12), p.SelectionFrameColor);
        QCOMPARE(at(shot, r.right(), r.top() + 12), NewColor(p.IconColumnColor, 96));
        // Column by column: quickly lighter across the icon column, slowly after it.
        const QRect o = row(off);
        QCOMPARE(at(shot, o.left(), o.top() + 2), NewColor(p.IconColumnColor, 1));
        QCOMPARE(at(shot, o.left() + 1, o.top() + 2), NewColor(p.IconColumnColor, 4));
        QCOMPARE(at(shot, o.left() + 28, o.top() + 2), NewColor(p.IconColumnColor, 85));
        QCOMPARE(at(shot, o.left() + 29, o.top() + 2), NewColor(p.IconColumnColor, 86));
    }

    void palette_followsItsThreeRegimes() {
        // Fewer than 16 bits per pixel: plain colours.
        style->setForcedDepth(8);
        QImage shot = grab(open);
        QCOMPARE(style->workingPalette().HighColorMode, false);
        QCOMPARE(at(shot, row(off).right() - 2, row(off).top() + 2), kWhite);
        QCOMPARE(at(shot, row(off).left() + 2, row(off).top() + 12), desktop(colors::kButtonFace));
        QCOMPARE(at(shot, row(open).right() - 2, row(open).top() + 2), kWhite);
        QCOMPARE(at(shot, row(open).right() - 2, row(open).top() + 1), desktop(colors::kHighlight));

        // The properties themselves.
        style->setForcedDepth(0);
        style->SetUseSystemColors(false);
        style->SetColor(0x00123456);
        style->SetIconBackColor(0x00654321);
        style->SetSelectColor(0x00ABCDEF);
        style->SetSelectBorderColor(0x00FF0000);
        shot = grab(open);
        QCOMPARE(at(shot, row(off).right() - 2, row(off).top() + 2), 0x00123456);
        QCOMPARE(at(shot, row(off).left() + 2, row(off).top() + 12), 0x00654321);
        QCOMPARE(at(shot, row(open).right() - 2, row(open).top() + 2), 0x00ABCDEF);
        QCOMPARE(at(shot, row(open).right() - 2, row(open).top() + 1), 0x00FF0000);
        style->SetUseDimColor(true);
        grab(open);
        QCOMPARE(style->workingPalette().SelectionFillColor, NewColor(0x00ABCDEF, 68));
    }

    void activation_takesMenusOverAndGivesThemBack() {
        QVERIFY(menu->style() == style);
        style->SetActive(false);
        QVERIFY(menu->style() != style);
        QVERIFY(!menu->testAttribute(Qt::WA_SetStyle));
        style->SetActive(true);
        QVERIFY(menu->style() == style);
        // Without pop-up menus in its set the style lets go of them at once.
        style->SetXPControls(xcMainMenu);
        QVERIFY(menu->style() != style);
        style->SetXPControls(xcPopupMenu);
        QVERIFY(menu->style() == style);

        // An item tagged 999 keeps the application's look (and size).
        off->setProperty("Tag", kKeepOwnLookTag);
        off->setVisible(false); // the menu measures its items again
        off->setVisible(true);
        QVERIFY(row(off).height() != 24);
        off->setProperty("Tag", QVariant());

        // A menu with a style of its own keeps it unless told otherwise; an empty one is left.
        std::unique_ptr<QStyle> own(QStyleFactory::create(QStringLiteral("Fusion")));
        auto* other = new QMenu(form.get());
        other->addAction(QStringLiteral("x"));
        other->setStyle(own.get());
        auto* empty = new QMenu(form.get());
        style->InitComponent(other);
        style->InitComponent(empty);
        QCOMPARE(other->style(), own.get());
        QVERIFY(empty->style() != style);
        style->SetOverrideOwnerDraw(true);
        style->InitComponent(other);
        QCOMPARE(other->style(), style);

        // Sub-menus come with their menu; later ones as their neighbours are drawn; new menus
        // of the form with AutoDetect.
        auto* sub = menu->addMenu(QStringLiteral("하위"));
        sub->addAction(QStringLiteral("y"));
        grab();
        QCOMPARE(sub->style(), style);
        style->SetAutoDetect(true);
        auto* later = new QMenu(form.get());
        later->addAction(QStringLiteral("z"));
        QTRY_COMPARE(later->style(), style);

        // Going away, the style leaves the menus with the application's.
        delete style;
        QVERIFY(!menu->testAttribute(Qt::WA_SetStyle));
    }
    // ---- controls and bars, on the theme gallery's window ----------------------------------

    void panelsAndSpeedButtons_paintEachState() {
        XPGallery gallery;
        gallery.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gallery));
        const XPPalette& p = gallery.xpStyle->workingPalette();
        const ColorValue C = XPGallery::kPanelColor;

        // The raised bevel from the panel's own colour: light top and left, dark bottom and right,
        // which take the two corners they share.
        QImage shot = shotOf(gallery.pnRaised);
        const int w = shot.width(), h = shot.height();
        QCOMPARE(at(shot, 0, 0), NewColor(C, 60));
        QCOMPARE(at(shot, w / 2, 0), NewColor(C, 60));
        QCOMPARE(at(shot, 0, h / 2), NewColor(C, 60));
        QCOMPARE(at(shot, w / 2, h - 1), GetShadeColor(C, 60));
        QCOMPARE(at(shot, w - 1, 0), GetShadeColor(C, 60));
        QCOMPARE(at(shot, 0, h - 1), GetShadeColor(C, 60));
        QCOMPARE(at(shot, 1, 1), C);
        // A ridge: raised outside, lowered one border pixel further in.
        const QImage ridge = shotOf(gallery.pnRidge);
        QCOMPARE(at(ridge, 0, 10), NewColor(0x00F6F6F6, 60));
        QCOMPARE(at(ridge, 1, 10), 0x00F6F6F6);
        QCOMPARE(at(ridge, 2, 10), GetShadeColor(0x00F6F6F6, 60));

        // Flat transparent speed buttons. Above a button's bottom-left corner neither the glyph at
        // rest nor the lifted one and its shadow cover the panel, so the tint shows there.
        QCOMPARE(qAlpha(icons::editIcon(10).pixmap(QSize(16, 16), 1.0).toImage().pixel(0, 15)), 0);
        QCOMPARE(qAlpha(icons::editIcon(1).pixmap(QSize(16, 16), 1.0).toImage().pixel(0, 15)), 0);
        const ColorValue tint = C & NewColor(p.SelectionFillColor, 20); // bit by bit, not a blend
        QVERIFY(tint != C);
        const ColorValue shadow = GetShadeColor(p.SelectionFillColor, 50);
        const QRect g = gallery.sbPrint->geometry();
        const QPoint inside(g.left() + 1, g.bottom() - 1);
        QCOMPARE(at(shot, g.left(), g.center().y()), C); // at rest only the glyph
        QCOMPARE(at(shot, inside.x(), inside.y()), C);
        QCOMPARE(count(shot, g, shadow), 0);

        hover(gallery.sbPrint);
        shot = shotOf(gallery.pnRaised);
        QCOMPARE(at(shot, g.left(), g.center().y()), p.SelectionFrameColor);
        QCOMPARE(at(shot, g.right(), g.bottom()), p.SelectionFrameColor);
        QCOMPARE(at(shot, inside.x(), inside.y()), tint);
        QVERIFY(count(shot, g, shadow) > 10); // the glyph lifted, its shadow below and right

        QTest::mousePress(gallery.sbPrint, Qt::LeftButton, {}, QPoint(5, 5));
        shot = shotOf(gallery.pnRaised);
        QTest::mouseRelease(gallery.sbPrint, Qt::LeftButton, {}, QPoint(5, 5));
        const ColorValue pressed = NewColor(p.SelectionFrameColor, 60);
        QCOMPARE(at(shot, g.right(), g.center().y()), pressed);
        QCOMPARE(at(shot, g.center().x(), g.bottom()), pressed);
        QCOMPARE(at(shot, g.left(), g.center().y()), GetShadeColor(pressed, 50)); // darker top-left
        QCOMPARE(at(shot, g.center().x(), g.top()), GetShadeColor(pressed, 50));
        QCOMPARE(at(shot, inside.x(), inside.y()), tint);
        QCOMPARE(count(shot, g, shadow), 0); // pressed, the glyph stays down

        // Held down (the bullets button) and not hot: framed in the highlight, darker top-left.
        const QRect b = gallery.sbBullets->geometry();
        QCOMPARE(at(shot, b.right(), b.center().y()), p.SelectionFrameColor);
        QCOMPARE(at(shot, b.left(), b.center().y()), GetShadeColor(p.SelectionFrameColor, 50));
        QCOMPARE(at(shot, b.left() + 1, b.bottom() - 1), tint);

        // The same painter called by a widget that draws its buttons itself, at a button's place.
        QImage bar(40, 30, QImage::Format_RGB32);
        bar.fill(toColor(C));
        {
            QPainter painter(&bar);
            XPCanvas canvas(painter, 32);
            XPButtonLook look;
            look.glyph = icons::editIcon(10).pixmap(QSize(16, 16), 1.0).toImage();
            look.parentColor = C;
            XPControlState hot;
            hot.hot = true;
            gallery.xpStyle->PaintSpeedButton(canvas, {10, 5, 28, 22}, look, hot);
        }
        const QRect placed(10, 5, 18, 17);
        QCOMPARE(at(bar, 10, 12), p.SelectionFrameColor);
        QCOMPARE(at(bar, 27, 21), p.SelectionFrameColor);
        QCOMPARE(at(bar, 11, 20), tint);
        QCOMPARE(count(bar, QRect(0, 0, 40, 30), C), 40 * 30 - 18 * 17);
        QVERIFY(count(bar, placed, shadow) > 10);

        // The rich edit without a border: a frame outside it, only when hot; never over the edit.
        QWidget* doc = gallery.reBare->parentWidget();
        const QRect e = gallery.reBare->geometry();
        const ColorValue docColor = colors::fromQColor(doc->palette().color(QPalette::Window));
        const ColorValue base = colors::fromQColor(gallery.reBare->palette().color(QPalette::Base));
        shot = shotOf(doc);
        QCOMPARE(at(shot, e.left() - 1, e.center().y()), docColor);
        hover(gallery.reBare);
        shot = shotOf(doc);
        QCOMPARE(at(shot, e.left() - 1, e.center().y()), NewColor(p.SelectionFrameColor, 60));
        QCOMPARE(at(shot, e.right() + 1, e.top() - 1), NewColor(p.SelectionFrameColor, 60));
        QCOMPARE(at(shot, e.left(), e.center().y()), base);
        // A rich edit with a border of its own has it replaced by the frame while styled.
        QCOMPARE(gallery.reBordered->frameShape(), QFrame::NoFrame);
        gallery.styleSwitch->setChecked(false);
        QVERIFY(gallery.reBordered->frameShape() != QFrame::NoFrame);
        QCOMPARE(at(shotOf(doc), e.left() - 1, e.center().y()), docColor);
    }

    void checkBoxAndComboBox_underTheStyleAndAfterIt() {
        XPGallery gallery;
        gallery.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gallery));
        const XPPalette& p = gallery.xpStyle->workingPalette();
        QCheckBox* check = gallery.checkOff;
        QComboBox* combo = gallery.combo;

        // The box: 15 x 16 at the left end, drawn 2 pixels inside, framed in the button shadow
        // on the window colour; hot, in the selection colours.
        QImage shot = shotOf(check);
        const QRect box = TXPStyle::checkBoxRect(Edges::of(check->rect()), false, false).toRect();
        QCOMPARE(box.size(), QSize(15, 16));
        const QRect drawn = box.adjusted(2, 2, -2, -2);
        QCOMPARE(at(shot, drawn.left(), drawn.center().y()), desktop(colors::kButtonShadow));
        QCOMPARE(at(shot, drawn.center().x(), drawn.center().y()), desktop(colors::kWindow));
        QCOMPARE(at(shot, box.left(), box.center().y()),
                 colors::fromQColor(check->palette().color(QPalette::Window)));
        hover(check);
        shot = shotOf(check);
        QCOMPARE(at(shot, drawn.left(), drawn.center().y()), p.SelectionFrameColor);
        QCOMPARE(at(shot, drawn.center().x(), drawn.top() + 1), p.SelectionFillColor);
        // A checked box carries the tick in the highlight.
        const QImage checked = shotOf(gallery.check);
        QVERIFY(count(checked, drawn, desktop(colors::kHighlight)) >= 15);

        // The combo box at rest: no frame, a face-coloured button; hot, framed in the highlight
        // with the button in the selection fill, edged in the highlight beside a field-coloured
        // strip.
        QImage c = shotOf(combo);
        const int W = c.width(), H = c.height();
        const ColorValue parent =
            colors::fromQColor(gallery.centralWidget()->palette().color(QPalette::Window));
        const ColorValue field = colors::fromQColor(combo->palette().color(QPalette::Base));
        QCOMPARE(at(c, 0, H / 2), parent);
        QCOMPARE(at(c, 1, H / 2), field);
        QCOMPARE(at(c, W - 4, 4), desktop(colors::kButtonFace));
        QCOMPARE(at(c, W - 8, (H - 3) / 2 + 1), kBlack); // the arrow's middle
        hover(combo);
        c = shotOf(combo);
        QCOMPARE(at(c, 0, H / 2), p.SelectionFrameColor);
        QCOMPARE(at(c, W / 2, H - 1), p.SelectionFrameColor);
        QCOMPARE(at(c, W - 4, 4), p.SelectionFillColor);
        QCOMPARE(at(c, W - 14, H / 2), p.SelectionFrameColor);
        QCOMPARE(at(c, W - 16, H / 2), field);

        // Switched off, both look as the application draws them, and the same after another
        // round on and off.
        gallery.styleSwitch->setChecked(false);
        const QImage checkOff = shotOf(check), comboOff = shotOf(combo);
        QCOMPARE(check->style(), QApplication::style());
        QVERIFY(checkOff != shot);
        QVERIFY(comboOff != c);
        gallery.styleSwitch->setChecked(true);
        QVERIFY(shotOf(combo) != comboOff);
        gallery.styleSwitch->setChecked(false);
        QCOMPARE(shotOf(check), checkOff);
        QCOMPARE(shotOf(combo), comboOff);
        // The switch, tagged 999, never had the style.
        QVERIFY(gallery.styleSwitch->style() != gallery.xpStyle);
    }

    void barsAndBands_inTheFlatLook() {
        XPGallery gallery;
        gallery.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gallery));
        const XPPalette& p = gallery.xpStyle->workingPalette();

        // A band of the control bar: lightened by 6, its grip a short line on every other row,
        // darker by 7 each.
        const QImage band = shotOf(gallery.toolBar);
        const ColorValue c = colors::fromQColor(gallery.toolBar->palette().color(QPalette::Window));
        QCOMPARE(at(band, 1, 6), NewColor(c, 6));
        QCOMPARE(at(band, 3, 6), GetShadeColor(c, 30));
        QCOMPARE(at(band, 5, 6), GetShadeColor(c, 30));
        QCOMPARE(at(band, 6, 6), NewColor(c, 6));
        QCOMPARE(at(band, 4, 7), NewColor(c, 6));
        QCOMPARE(at(band, 4, 8), GetShadeColor(c, 37));
        QCOMPARE(at(band, 4, 10), GetShadeColor(c, 44));

        // A checked tool button: its cell lightened by 16, filled from its second row, framed
        // in the highlight from its third.
        const QRect b = gallery.tbBold->geometry();
        QCOMPARE(at(band, b.left() + 1, b.top()), NewColor(c, 16));
        QCOMPARE(at(band, b.left() + 1, b.top() + 1), p.CheckBoxFillColor);
        QCOMPARE(at(band, b.left() + 1, b.top() + 2), p.SelectionFrameColor);
        QCOMPARE(at(band, b.left(), b.center().y()), p.SelectionFrameColor);
        QCOMPARE(at(band, b.left() + 1, b.bottom() - 1), p.CheckBoxFillColor);

        // Separators: a line through the middle only for one whose tag is above 0.
        const auto separatorOf = [](QToolBar* bar) -> QWidget* {
            for (QAction* action : bar->actions()) {
                if (action->isSeparator())
                    return bar->widgetForAction(action);
            }
            return nullptr;
        };
        QWidget* tagged = separatorOf(gallery.toolBar);
        QVERIFY(tagged);
        const QRect s = tagged->geometry();
        const int middle = s.left() + s.width() / 2;
        QCOMPARE(at(band, middle, s.center().y()), GetShadeColor(c, 30));
        QCOMPARE(at(band, middle - 1, s.center().y()), NewColor(c, 16));
        QWidget* untagged = separatorOf(gallery.captionBar);
        QVERIFY(untagged);
        const QImage gap = shotOf(untagged);
        const ColorValue captionColor =
            colors::fromQColor(gallery.captionBar->palette().color(QPalette::Window));
        for (int x = 0; x < gap.width(); ++x)
            QVERIFY2(at(gap, x, gap.height() / 2) != GetShadeColor(captionColor, 30),
                     qPrintable(QString::number(x)));

        // An open menu-bar item: framed, open at the bottom, with a soft shadow at its right.
        QImage item(80, 20, QImage::Format_RGB32);
        item.fill(Qt::white);
        {
            QPainter painter(&item);
            XPCanvas canvas(painter, 32);
            XPMenuItem top;
            top.caption = QStringLiteral("파일(&F)");
            top.topLevel = true;
            gallery.xpStyle->PaintMenuItem(canvas, {0, 0, 80, 20}, top, true);
        }
        QCOMPARE(at(item, 0, 10), p.SelectionFrameColor);
        QCOMPARE(at(item, 40, 0), p.SelectionFrameColor);
        QCOMPARE(at(item, 72, 10), p.SelectionFrameColor);
        QCOMPARE(at(item, 40, 19), p.SelectionFillColor);
        QCOMPARE(at(item, 73, 1), GetShadeColor(p.BarColor, 10));
        QCOMPARE(at(item, 73, 4), GetShadeColor(p.BarColor, 30));
        QCOMPARE(at(item, 73, 17), GetShadeColor(p.BarColor, 100));

        // Switched off, the bars let go of the style; their buttons stay flat.
        gallery.styleSwitch->setChecked(false);
        QVERIFY(gallery.tbNew->style() != gallery.xpStyle);
        QVERIFY(gallery.toolBar->style() != gallery.xpStyle);
        QVERIFY(gallery.menuBar()->style() != gallery.xpStyle);
        QVERIFY(gallery.tbNew->autoRaise());
    }
};

QTEST_MAIN(XPStyleTest)
#include "xpstyle_test.moc"
