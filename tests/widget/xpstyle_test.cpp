// A menu under the flat style, grabbed: its rows' sizes, and the colours of background, icon
// column, selection bar, separator, shortcut, greyed glyph and check boxes, each expected colour
// worked out from the desktop's colours through the helpers (whose arithmetic xphelpers_test
// pins). Also how the style takes menus over and gives them back.
#include "app/application.h"
#include "theme/colors.h"
#include "theme/icons.h"
#include "theme/xpstyle.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QStyleFactory>
#include <QTest>
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
    void initTestCase() { installFontSubstitutions(); }

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
};

QTEST_MAIN(XPStyleTest)
#include "xpstyle_test.moc"
