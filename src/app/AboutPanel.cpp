#include "app/AboutPanel.h"

#include "services/AppVersion.h"
#include "ui/Color.h"
#include "ui/ImageAsset.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

const QString AboutPanel::credits = QStringLiteral(
    "Quillora is a powerful translation tool that helps you translate text from any application with just a "
    "few clicks.");

AboutPanel::AboutPanel(QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Quillora"));
    setObjectName(QStringLiteral("AboutPanel"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 24);
    layout->setSpacing(6);

    auto* icon = new QLabel(this);
    icon->setPixmap(ImageAsset::pixmap(QStringLiteral("AppIcon"), QSize(64, 64), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    layout->addSpacing(6);

    auto* name = new QLabel(QStringLiteral("Quillora"), this);
    name->setObjectName(QStringLiteral("name"));
    QFont nameFont = name->font();
    nameFont.setPixelSize(14);
    nameFont.setBold(true);
    name->setFont(nameFont);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);

    auto* version = new QLabel(QStringLiteral("Version %1").arg(getAppVersion()), this);
    version->setObjectName(QStringLiteral("version"));
    QFont small = version->font();
    small.setPixelSize(10);
    version->setFont(small);
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
    layout->addSpacing(10);

    auto* text = new QLabel(credits, this);
    text->setObjectName(QStringLiteral("credits"));
    QFont creditsFont = text->font();
    creditsFont.setPixelSize(12);
    text->setFont(creditsFont);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    text->setFixedWidth(260);
    layout->addWidget(text, 0, Qt::AlignHCenter);

    Theme::followAppearance(this, [version, text] {
        for (QLabel* label : {version, text}) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText,
                             label == text ? Color::labelColor() : Color::secondaryLabelColor());
            label->setPalette(palette);
        }
    });
    setFixedSize(sizeHint());
}
