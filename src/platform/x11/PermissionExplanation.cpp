#include "platform/x11/PermissionExplanation.h"

#include <QMessageBox>
#include <QPointer>

namespace {

struct Text {
    QString title;
    QString text;
    QString details;
};

Text textFor(PermissionExplanation::Permission permission) {
    if (permission == PermissionExplanation::Permission::Accessibility)
        return {
            QStringLiteral("Selected text cannot be read here"),
            QStringLiteral("The floating bar needs the XInput 2 and XTEST extensions of the X display."),
            QStringLiteral("Quillora watches the mouse through XInput 2 to notice a selection, and posts the "
                           "copy key through XTEST for applications that do not offer their selection. This "
                           "display lacks one of them, as happens under Wayland without XWayland or with an "
                           "X server started without them.\n\nLog in to an X11 session (or start "
                           "Quillora under XWayland with QT_QPA_PLATFORM=xcb) and open Quillora again. There "
                           "is nothing to allow in the system settings.")};
    return {
        QStringLiteral("The screen cannot be read here"),
        QStringLiteral("Text recognition needs to read the screen, and this display does not allow it."),
        QStringLiteral("Quillora grabs the region you choose from the X display. Under Wayland without "
                       "XWayland, or on a display that refuses screen grabs, that is not possible.\n\nLog in "
                       "to an X11 session and open Quillora again. There is nothing to allow in the system "
                       "settings.")};
}

} // namespace

QWidget* PermissionExplanation::show(Permission permission, QWidget* over) {
    static QPointer<QMessageBox> open[2];
    QPointer<QMessageBox>& box = open[permission == Permission::Accessibility ? 0 : 1];
    if (box && box->parentWidget() != over) {
        box->close();
        box = nullptr;
    }
    if (!box) {
        const Text text = textFor(permission);
        box = new QMessageBox(QMessageBox::Information, text.title, text.text, QMessageBox::Ok, over);
        box->setObjectName(QStringLiteral("PermissionExplanation"));
        box->setInformativeText(text.details);
        box->setAttribute(Qt::WA_DeleteOnClose);
    }
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}
