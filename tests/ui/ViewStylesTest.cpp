#include "AppearanceGuard.h"
#include "TestUtils.h"
#include "ui/Color.h"
#include "ui/HoverButton.h"
#include "ui/KeyPressHandler.h"
#include "ui/SelectorFieldStyle.h"
#include "ui/Symbol.h"
#include "ui/TranslatorPanelStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

TEST(HoverButton, HighlightFadesInWhileHoveredAndOutAfterwards) {
    AppearanceGuard guard;
    AppearanceGuard::setDark(false);
    int pressed = 0;
    QWidget window;
    window.resize(300, 100);
    HoverButton button(
        QStringLiteral("Close"), QStringLiteral("xmark.circle"), [&pressed] { ++pressed; }, &window);
    button.setGeometry(10, 10, 200, button.sizeHint().height());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto corner = [&button] {
        QImage image(button.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        button.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image.pixelColor(100, 3);
    };
    QEvent initialLeave(QEvent::Leave);
    QApplication::sendEvent(&button, &initialLeave);
    ASSERT_TRUE(waitUntil([&button] { return button.hoverProgress() == 0.0; }, 10000));
    EXPECT_FALSE(button.isHovering());
    EXPECT_EQ(corner().alpha(), 0);

    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHovering());
    // Fades in over 0.15 s rather than jumping.
    EXPECT_LT(button.hoverProgress(), 1.0);
    ASSERT_TRUE(waitUntil([&button] { return button.hoverProgress() == 1.0; }, 10000));
    EXPECT_GT(corner().alpha(), 0);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    ASSERT_TRUE(waitUntil([&button] { return button.hoverProgress() == 0.0; }, 10000));
    EXPECT_EQ(corner().alpha(), 0);

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(pressed, 1);
}

TEST(HoverButton, RowIsPaddedTwelveAboveAndBelow) {
    HoverButton button(QStringLiteral("Disable floating bar for this application"),
                       QStringLiteral("eye.slash"), {});
    EXPECT_EQ(button.sizeHint().height(),
              24 + std::max(button.fontMetrics().height(), Symbol::pixelSize(12)));
    EXPECT_EQ(button.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
}

TEST(KeyPressHandler, ReturnRunsTheActionAndInsertsNoLineBreak) {
    QTextEdit editor;
    int submitted = 0;
    onKeyPressIfAvailable(&editor, Qt::Key_Return, [&submitted] { ++submitted; });
    editor.show();
    editor.setFocus();
    QTest::keyClicks(&editor, QStringLiteral("hi"));
    QTest::keyClick(&editor, Qt::Key_Return);
    QTest::keyClick(&editor, Qt::Key_Enter);
    QTest::keyClick(&editor, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(submitted, 3);
    EXPECT_EQ(editor.toPlainText(), QStringLiteral("hi"));
    QTest::keyClick(&editor, Qt::Key_A);
    EXPECT_EQ(editor.toPlainText(), QStringLiteral("hia"));
}

TEST(ViewStyles, SelectorFieldIsThirtySixHighWhateverItsLabel) {
    QWidget label;
    auto* layout = new QHBoxLayout(&label);
    auto* tall = new QLabel(QStringLiteral("English"));
    tall->setMinimumHeight(60);
    layout->addWidget(tall);
    selectorFieldStyle(&label);
    label.show();
    EXPECT_EQ(label.height(), 36);
    EXPECT_EQ(label.contentsMargins().left(), 12);
    EXPECT_EQ(label.contentsMargins().right(), 12);
    // The field is painted under the label: a filled middle, transparent outside the rounded corner.
    QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_GT(image.pixelColor(label.width() / 2, 18).alpha(), 0);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
}

TEST(ViewStyles, PanelMaterialStaysUnderLaterChildrenAndTheBorderOverThem) {
    QWidget panel;
    translatorPanelStyle(&panel);
    auto* child = new QLabel(QStringLiteral("content"), &panel);
    panel.resize(200, 100);
    panel.show();
    EXPECT_EQ(panel.contentsMargins(), QMargins(16, 16, 16, 16));
    const QObjectList& children = panel.children();
    const auto widgets = panel.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(widgets.size(), 3);
    // Stacking order follows the children list: material first, border last.
    QList<QWidget*> stacking;
    for (QObject* o : children)
        if (o->isWidgetType())
            stacking << static_cast<QWidget*>(o);
    EXPECT_EQ(stacking.indexOf(child), 1);
    EXPECT_EQ(stacking.first()->geometry(), panel.rect());
    EXPECT_EQ(stacking.last()->geometry(), panel.rect());
}
